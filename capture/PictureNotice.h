#pragma once
// A short notice over the picture area, where the user looks: it lets the
// pointer through to the picture, so that clicks still land where they
// aim, tells a screen reader, and goes by itself.

#include <QLabel>

class QTimer;

class PictureNotice : public QLabel
{
    Q_OBJECT
public:
    static constexpr int ShownMs = 10000;

    // Over the top of Area (the picture area's viewport), as wide as it is.
    explicit PictureNotice(QWidget *area);

    void tell(const QString &text);
    void withdraw();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeOverArea();

    QTimer *m_timer;
};
