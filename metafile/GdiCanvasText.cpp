#include "metafile/GdiCanvas.h"

#include "metafile/Geometry.h"
#include "metafile/Limits.h"
#include "metafile/SymbolFonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QPainter>

#include <cmath>

// The canvas's text: the font's face, its size and stretch, each
// character's advance, and where the text stands against its reference.

namespace {

constexpr int MinStretch = 12;

// The kind of face to fall back on when the named one is missing, from the
// family in the high nibble and the pitch in the low bits ([MS-WMF] 2.1.1.8
// FamilyFont, 2.1.1.24 PitchFont). With no kind given, fontconfig decides
// from the name, as it knows many faces it has no copy of.
QFont::StyleHint styleHintOf(std::uint8_t pitchAndFamily)
{
    enum { Roman = 1, Swiss, Modern, Script };
    constexpr std::uint8_t FixedPitch = 1, PitchMask = 3;
    switch (pitchAndFamily >> 4) {
    case Roman:
        return QFont::Serif;
    case Swiss:
        return QFont::SansSerif;
    case Modern:
        return QFont::Monospace;
    case Script:
        return QFont::Cursive;
    default:
        // Novelty faces have nothing in common to fall back on.
        return (pitchAndFamily & PitchMask) == FixedPitch ? QFont::Monospace : QFont::AnyStyle;
    }
}

// The generic family fontconfig resolves for a kind of face.
QString genericFamilyOf(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::Serif:
        return QStringLiteral("serif");
    case QFont::Monospace:
        return QStringLiteral("monospace");
    case QFont::Cursive:
        return QStringLiteral("cursive");
    default:
        return QStringLiteral("sans-serif");
    }
}

// The font's face, or a generic one of its kind where that draws its text
// better: Symbol's codes have become Unicode characters, which a text face
// draws; and a symbol face that fontconfig stands in for a missing text
// face would turn letters into pictures.
QFont lookUpFaceOf(const GdiFont &f)
{
    const QFont::StyleHint hint = SymbolFonts::mapsToUnicode(f.face) ? QFont::Serif : styleHintOf(f.pitchAndFamily);
    SymbolFonts::makeKnown(f.face);
    QFont font(f.face);
    font.setStyleHint(hint);
    if (SymbolFonts::mapsToUnicode(f.face) ||
        (!SymbolFonts::isSymbolFont(f.face, f.charset) && SymbolFonts::isSymbolFamily(QFontInfo(font).family())))
        font.setFamily(genericFamilyOf(hint));
    return font;
}

QString faceKey(const GdiFont &f)
{
    return f.face + QLatin1Char('\n') + QString::number(f.charset) + QLatin1Char('\n') +
           QString::number(f.pitchAndFamily);
}

// Faces looked up so far, for every playback: asking fontconfig takes
// about a third of a millisecond, and a picture selects its few fonts
// again and again. Forgotten when it grows past a bound.
QFont faceOf(const GdiFont &f)
{
    constexpr qsizetype MaxRemembered = 4096;
    static QMutex guard;
    static QHash<QString, QFont> faces;
    const QString key = faceKey(f);
    {
        const QMutexLocker lock(&guard);
        if (const auto found = faces.constFind(key); found != faces.constEnd())
            return *found;
    }
    const QFont face = lookUpFaceOf(f);
    const QMutexLocker lock(&guard);
    if (faces.size() >= MaxRemembered)
        faces.clear();
    faces.insert(key, face);
    return face;
}

} // namespace

void GdiCanvas::selectFont(const GdiFont &font)
{
    m_s.font = font;
    if (affordsFont(faceKey(font)))
        m_s.face = faceOf(font);
}

// A face or a font the playback has not used yet costs its lookup or its
// measuring, in every playback alike, whether or not another found it
// first.
bool GdiCanvas::affordsFont(const QString &key)
{
    if (m_fontsSeen.contains(key))
        return true;
    m_fontsSeen.insert(key);
    return m_budget.draws(FontWork);
}

QFont GdiCanvas::qtFont(double xScale, double yScale, bool *visible) const
{
    const GdiFont &f = m_s.font;
    QFont font = m_s.face;
    font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    const double dpi = deviceDpi();
    auto setPixels = [&](double px) { font.setPointSizeF(std::clamp(px, 0.5, 4000.0) * 72.0 / dpi); };
    double em = 12 * m_zoom;
    if (f.height < 0) {
        em = -f.height * yScale;
    } else if (f.height > 0) {
        // A positive height is the cell height, ascent plus descent.
        setPixels(100);
        const QFontMetricsF probe(font, m_painter.device());
        const double cell = probe.ascent() + probe.descent();
        em = f.height * yScale * (cell > 0 ? 100 / cell : 1);
    }
    em = finiteOr(em, 12);
    *visible = em >= 0.5;
    setPixels(em);
    // A width of its own stretches or narrows every character; so does a
    // picture drawn wider or narrower than its own proportions.
    double stretch = 100 * xScale / yScale;
    if (f.width != 0) {
        const double average = QFontMetricsF(font, m_painter.device()).averageCharWidth();
        stretch = average > 0 ? 100 * std::abs(f.width) * xScale / average : 100;
    }
    const double widest = std::min<double>(Limits::MaxStretch, 100 * Limits::MaxGlyphPixels / std::max(em, 1.0));
    if (*visible && std::isfinite(stretch) && std::abs(stretch - 100) >= 1)
        font.setStretch(std::clamp(int(std::lround(std::min(stretch, widest))), MinStretch, Limits::MaxStretch));
    return font;
}

// The dots per inch a font's point size is taken at on the painter's device.
double GdiCanvas::deviceDpi() const
{
    return m_painter.device() ? m_painter.device()->logicalDpiY() : 96;
}

double GdiCanvas::emPixels(const QFont &font) const
{
    return font.pointSizeF() * deviceDpi() / 72;
}

// The units the cells of Count characters of Font take: each covers its em
// square at most, or the whole frame where that is smaller. The font's
// stretch is left out: it follows widths measured at the size drawn, and
// a font is stretched eightfold at most.
qint64 GdiCanvas::glyphWork(const QFont &font, qsizetype count) const
{
    const double em = emPixels(font);
    const double cell = std::min(em * em, std::abs(m_target.width() * m_target.height())) / (m_zoom * m_zoom);
    const double units = std::ceil(cell * double(count) / PixelsPerAreaUnit);
    return std::isfinite(units) && units < double(MaxDrawWork) ? qint64(units) : MaxDrawWork + 1;
}

// Qt sets a font at a whole pixel size, so text of a fractional size would
// end elsewhere at each zoom and display scale. Its width in the same font
// at a large size, scaled down, is where the text ends at every zoom: the
// factor from the one width to the other.
double GdiCanvas::exactSizeFit(const QFont &font, const QFontMetricsF &metrics, const QString &text) const
{
    constexpr double LargePixels = 1000;
    const double em = emPixels(font);
    const double actual = metrics.horizontalAdvance(text);
    if (!(em > 0) || !(actual > 0))
        return 1;
    QFont large(font);
    large.setPointSizeF(font.pointSizeF() * LargePixels / em);
    const double exact = QFontMetricsF(large, m_painter.device()).horizontalAdvance(text) * em / LargePixels;
    return exact > 0 && std::isfinite(exact) ? exact / actual : 1;
}

// Each character's advance in target pixels: given, or the font's fitted to
// its exact size, plus the extra spacing.
std::vector<double> GdiCanvas::advancesOf(const QString &text, const std::vector<double> &dx,
                                          const QFontMetricsF &metrics, double fit, double xScale) const
{
    std::vector<double> advances;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const double a = !dx.empty() ? (i < qsizetype(dx.size()) ? dx[std::size_t(i)] * xScale : 0)
                                     : metrics.horizontalAdvance(text[i]) * fit + m_s.charExtra * xScale;
        advances.push_back(finiteOr(a, 0));
    }
    return advances;
}

// Where the text starts relative to its reference point, from the alignment.
QPointF GdiCanvas::alignmentOffset(const QFontMetricsF &metrics, double width) const
{
    double x = 0;
    switch (m_s.textAlign & TextAlign::HorizontalMask) {
    case TextAlign::Right:
        x = -width;
        break;
    case TextAlign::Center:
        x = -width / 2;
        break;
    default:
        break;
    }
    double y = metrics.ascent(); // top
    switch (m_s.textAlign & TextAlign::VerticalMask) {
    case TextAlign::Bottom:
        y = -metrics.descent();
        break;
    case TextAlign::Baseline:
        y = 0;
        break;
    default:
        break;
    }
    return QPointF(x, y);
}

void GdiCanvas::textOut(QPointF reference, const QString &written, const std::vector<double> &dx, std::uint32_t options,
                        std::optional<QRectF> rect, const std::vector<double> &rises)
{
    if (!m_budget.draws((written.size() + 1) * CharacterWork))
        return;
    const QTransform t = toTarget();
    const bool updateCp = m_s.textAlign & TextAlign::UpdateCp;
    const QPointF origin = t.map(updateCp ? m_s.position : reference);
    // Lengths along and across the baseline, in target pixels per logical unit.
    const double xScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(1, 0))).length();
    const double yScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(0, 1))).length();

    if (rect && (options & TextOutOption::Opaque)) {
        const QPainterPath box = mapped(rectPath(*rect));
        if (!m_budget.paints(box.boundingRect(), m_zoom))
            return;
        m_painter.fillPath(box, m_s.bkColor);
    }
    bool visible = false;
    const QFont font = qtFont(xScale, yScale, &visible);
    if (written.isEmpty() || !visible || !affordsFont(font.key()) || !m_budget.draws(glyphWork(font, written.size())))
        return;
    const QString text = SymbolFonts::readable(m_s.font.face, m_s.font.charset, written);
    const QFontMetricsF metrics(font, m_painter.device());

    const double fit = dx.empty() ? exactSizeFit(font, metrics, text) : 1;
    const std::vector<double> advances = advancesOf(text, dx, metrics, fit, xScale);
    double width = 0;
    for (const double a : advances)
        width += a;
    // With rises each character also steps up from the one before, across the baseline.
    double rise = 0;
    for (qsizetype i = 0; i < qsizetype(rises.size()) && i < text.size(); ++i)
        rise += finiteOr(rises[std::size_t(i)] * yScale, 0);
    const bool plain = dx.empty() && rises.empty() && m_s.charExtra == 0;
    if (plain)
        width = metrics.horizontalAdvance(text) * fit;
    const QPointF at = alignmentOffset(metrics, width);

    if (!beginDraw())
        return;
    m_painter.save();
    if (rect && (options & TextOutOption::Clipped))
        m_painter.setClipPath(mapped(rectPath(*rect)), Qt::IntersectClip);
    // Escapement turns the baseline counter-clockwise, as seen on the device;
    // in the advanced graphics mode the baseline follows the world transform.
    const QPointF along = t.map(QPointF(1, 0)) - t.map(QPointF(0, 0));
    const double turn =
        (m_s.textFollowsWorld ? qRadiansToDegrees(std::atan2(along.y(), along.x())) : 0) - m_s.font.escapement / 10.0;
    m_painter.translate(origin);
    m_painter.rotate(finiteOr(turn, 0));
    if (m_s.bkMode == BkModeOpaque)
        m_painter.fillRect(QRectF(at.x(), at.y() - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                           m_s.bkColor);
    m_painter.setFont(font);
    m_painter.setPen(m_s.textColor);
    if (plain) {
        m_painter.scale(fit, 1);
        m_painter.drawText(QPointF(at.x() / fit, at.y()), text);
    } else {
        QPointF next = at;
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_painter.drawText(next, QString(text[i]));
            const double up = i < qsizetype(rises.size()) ? finiteOr(rises[std::size_t(i)] * yScale, 0) : 0;
            next += QPointF(advances[std::size_t(i)], -up);
        }
    }
    m_painter.restore();
    endDraw();

    if (updateCp)
        m_s.position = t.inverted().map(origin + QTransform().rotate(finiteOr(turn, 0)).map(QPointF(width, -rise)));
}
