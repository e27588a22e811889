#include "capture/PictureDialog.h"

#include "base/WorkerPool.h"
#include "picture/Picture.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace {
constexpr int PreviewSide = 160;
// Wide enough that names, sizes and types show whole in the detail view.
constexpr QSize OpeningSize{900, 540};
// At most this share of the screen, on small or highly scaled screens.
constexpr qreal MostOfScreen = 0.9;
} // namespace

const QStringList PictureDialog::Filters = {
    QStringLiteral("All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)"),
    QStringLiteral("JPEG Image File (*.jpg)"),
    QStringLiteral("JPEG Image File (*.jpeg)"),
    QStringLiteral("Bitmaps (*.bmp)"),
    QStringLiteral("Icons (*.ico)"),
    QStringLiteral("Enhanced Metafiles (*.emf)"),
    QStringLiteral("Metafiles (*.wmf)"),
};

PictureDialog::PictureDialog(QWidget *parent) : QFileDialog(parent), m_reply(this)
{
    setObjectName(QStringLiteral("OpenPictureDialog1"));
    setWindowTitle(QStringLiteral("Openen"));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name is accepted as it is; opening it tells what is wrong.
    setFileMode(QFileDialog::AnyFile);
    // The entries list their patterns separated by semicolons, which the
    // dialog itself would take as one pattern.
    connect(this, &QFileDialog::filterSelected, this, &PictureDialog::applyPatterns);
    setNameFilters(Filters);
    selectEntry(Filters.front());

    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("Preview"));
    m_preview->setFixedSize(PreviewSide, PreviewSide);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(m_preview, 1, grid->columnCount(), 3, 1);
    connect(this, &QFileDialog::currentChanged, this, &PictureDialog::showPreview);
    // The folder's entries arrive after the dialog shows.
    if (auto *model = findChild<QFileSystemModel *>())
        connect(model, &QFileSystemModel::directoryLoaded, this, &PictureDialog::showSelectedEntry);
    showColumnsWhole();
}

void PictureDialog::showColumnsWhole()
{
    auto *details = findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!details)
        return;
    QHeaderView *header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
}

QStringList PictureDialog::patternsOf(const QString &entry)
{
    const qsizetype open = entry.lastIndexOf(QLatin1Char('('));
    const qsizetype close = entry.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return {};
    return entry.mid(open + 1, close - open - 1).split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts);
}

void PictureDialog::selectEntry(const QString &entry)
{
    selectNameFilter(entry);
    applyPatterns(entry);
}

void PictureDialog::showEvent(QShowEvent *event)
{
    if (!m_sized) {
        m_sized = true;
        QSize size = OpeningSize;
        if (const QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen())
            size = size.boundedTo(screen->availableSize() * MostOfScreen);
        resize(size.expandedTo(minimumSizeHint()));
    }
    centreOverOwner();
    applyPatterns(selectedNameFilter());
    QFileDialog::showEvent(event);
    // The file chosen last is selected again: preview it and show it in the
    // list, once the folder's entries are there.
    const QStringList chosen = selectedFiles();
    if (!chosen.isEmpty())
        showPreview(chosen.front());
    QTimer::singleShot(0, this, &PictureDialog::showSelectedEntry);
}

void PictureDialog::centreOverOwner()
{
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible())
        return;
    QRect placed(QPoint(0, 0), frameGeometry().size());
    placed.moveCenter(owner->frameGeometry().center());
    if (const QScreen *screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width())));
        placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height())));
    }
    move(placed.topLeft());
}

void PictureDialog::showSelectedEntry()
{
    auto *files = findChild<QFileSystemModel *>();
    const QStringList chosen = selectedFiles();
    if (!files || chosen.isEmpty())
        return;
    const QModelIndex entry = files->index(chosen.front());
    if (!entry.isValid())
        return;
    for (QAbstractItemView *view : findChildren<QAbstractItemView *>()) {
        if (view->model() != files || !view->selectionModel())
            continue;
        view->selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->scrollTo(entry, QAbstractItemView::PositionAtCenter);
    }
}

void PictureDialog::done(int result)
{
    // A completion list still open when a typed name is accepted would
    // otherwise stay on the screen after the dialog has gone.
    for (QCompleter *completer : findChildren<QCompleter *>()) {
        if (completer->popup())
            completer->popup()->hide();
    }
    QFileDialog::done(result);
}

void PictureDialog::applyPatterns(const QString &entry)
{
    if (auto *model = findChild<QFileSystemModel *>())
        model->setNameFilters(patternsOf(entry));
}

void PictureDialog::showPreview(const QString &path)
{
    m_preview->clear();
    const int request = ++m_previewRequest;
    if (!QFileInfo(path).isFile())
        return;
    // Read and drawn on a worker, so that a slow picture never holds the
    // dialog; only the newest choice shows.
    workerPool()->start([reply = m_reply.handle(), self = this, path, request] {
        yieldToTheWindow();
        const std::optional<QImage> preview = previewOf(path);
        reply.post([self, request, preview] {
            if (request != self->m_previewRequest)
                return;
            if (preview)
                self->m_preview->setPixmap(QPixmap::fromImage(*preview));
            else
                self->m_preview->setText(tr("Geen voorbeeld"));
        });
    });
}

std::optional<QImage> PictureDialog::previewOf(const QString &path)
{
    try {
        const Picture picture = Picture::load(path);
        const QSize natural = picture.size();
        if (natural.isEmpty())
            return QImage();
        const QSize fitted = natural.width() <= PreviewSide && natural.height() <= PreviewSide
                                 ? natural
                                 : natural.scaled(PreviewSide - 4, PreviewSide - 4, Qt::KeepAspectRatio);
        QImage preview(fitted.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        preview.fill(Qt::white);
        QPainter painter(&preview);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        picture.draw(painter, preview.rect(), preview.rect());
        return preview;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}
