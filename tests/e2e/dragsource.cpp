// A stand-in for a file manager in end-to-end runs: a small window that
// starts a drag of the files named on its command line when the left button
// is pressed on it, as a file manager does with selected files. An argument
// "text:..." drags plain text instead, something that is no file at all.
//
// usage: vantrix_dragsource FILE... | text:WORDS

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

constexpr int WindowWidth = 160;
constexpr int WindowHeight = 80;

class DragSource : public QLabel
{
public:
    explicit DragSource(QStringList items) : QLabel(QStringLiteral("drag me")), m_items(std::move(items))
    {
        setWindowTitle(QStringLiteral("vantrix-dragsource"));
        setAlignment(Qt::AlignCenter);
        setFixedSize(WindowWidth, WindowHeight);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto *data = new QMimeData;
        if (m_items.size() == 1 && m_items.first().startsWith(QLatin1String("text:"))) {
            data->setText(m_items.first().mid(5));
        } else {
            QList<QUrl> urls;
            for (const QString &item : m_items)
                urls.append(QUrl::fromLocalFile(item));
            data->setUrls(urls);
        }
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction done = drag->exec(Qt::CopyAction);
        // The harness reads whether the target took the drop.
        qInfo("drop %s", done == Qt::CopyAction ? "accepted" : "refused");
    }

private:
    QStringList m_items;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QStringList items = QApplication::arguments().mid(1);
    if (items.isEmpty())
        return 2;
    DragSource source(std::move(items));
    source.move(0, 0);
    source.show();
    return QApplication::exec();
}
