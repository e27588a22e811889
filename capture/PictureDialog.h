#pragma once
// The file dialog for pictures, with a preview of the selected file drawn by
// our own picture loader.

#include "base/ReplyChannel.h"

#include <QFileDialog>
#include <QImage>

#include <optional>

class QLabel;

class PictureDialog : public QFileDialog
{
    Q_OBJECT
public:
    explicit PictureDialog(QWidget *parent = nullptr);

    // The filter entries, in order.
    static const QStringList Filters;

    // The file name patterns of a filter entry.
    static QStringList patternsOf(const QString &entry);

    // Selects a filter entry and lists the files its patterns match.
    void selectEntry(const QString &entry);

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void applyPatterns(const QString &entry);
    void showPreview(const QString &path);
    // The preview of the picture at Path, drawn off the window's thread; an
    // empty image for an empty picture, none for one that cannot be read.
    static std::optional<QImage> previewOf(const QString &path);
    void showColumnsWhole();
    // Over the main window, within its screen.
    void centreOverOwner();
    // Scrolls the file list to the selected file.
    void showSelectedEntry();

    QLabel *m_preview = nullptr;
    // The first showing gives the dialog its size; the user's own counts after.
    bool m_sized = false;
    // The newest preview asked for; older ones arriving are dropped.
    int m_previewRequest = 0;
    ReplyChannel m_reply;
};
