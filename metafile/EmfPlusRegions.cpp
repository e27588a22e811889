#include "metafile/EmfPlusObjects.h"
#include "metafile/Limits.h"

using namespace PlusObjects;

QPainterPath PlusObjects::boundedForBoolean(const QPainterPath &path)
{
    return path.elementCount() <= Limits::MaxBooleanElements ? path : rectPath(path.boundingRect());
}

namespace {

// [MS-EMFPLUS] 2.1.1.26 RegionNodeDataType.
constexpr std::uint32_t RegionAnd = 1, RegionOr = 2, RegionXor = 3, RegionExclude = 4, RegionComplement = 5;
constexpr std::uint32_t RegionRect = 0x10000000, RegionPath = 0x10000001, RegionEmpty = 0x10000002,
                        RegionInfinite = 0x10000003;

// A region's stand-in for "everything", in world units.
constexpr double Everywhere = 1e7;

QPainterPath everywhere()
{
    return rectPath(QRectF(-Everywhere, -Everywhere, 2 * Everywhere, 2 * Everywhere));
}

struct RegionNode {
    QPainterPath shape;
    bool infinite = false;
    qsizetype size = 0; // bytes the node took
};

QPainterPath shapeOf(const RegionNode &node)
{
    return node.infinite ? everywhere() : node.shape;
}

RegionNode combined(std::uint32_t op, const RegionNode &left, const RegionNode &right)
{
    RegionNode node;
    if (op == RegionOr && (left.infinite || right.infinite)) {
        node.infinite = true;
    } else if (op == RegionAnd && (left.infinite || right.infinite)) {
        node = left.infinite ? right : left;
    } else {
        const QPainterPath a = shapeOf(left), b = shapeOf(right);
        node.shape = op == RegionAnd       ? a.intersected(b)
                     : op == RegionOr      ? a.united(b)
                     : op == RegionXor     ? a.united(b).subtracted(a.intersected(b))
                     : op == RegionExclude ? a.subtracted(b)
                                           : b.subtracted(a);
    }
    return node;
}

// [MS-EMFPLUS] 2.2.2.40 EmfPlusRegionNode: a type, then a rectangle, a
// path with its length, or two child nodes one after the other.
std::optional<RegionNode> regionNode(const PlusData &d, int depth, int &nodesLeft, PlaybackBudget &budget)
{
    if (depth > Limits::MaxRegionDepth || --nodesLeft < 0 || !d.has(0, 4))
        return std::nullopt;
    const std::uint32_t type = d.u32(0);
    RegionNode node;
    if (type == RegionRect && d.has(4, 16)) {
        node.shape.addRect(QRectF(d.f32(4), d.f32(8), d.f32(12), d.f32(16)));
        node.size = 20;
    } else if (type == RegionPath && d.has(8, d.i32(4))) {
        const std::optional<QPainterPath> path = PlusObjects::readPath(d.from(8, d.i32(4)));
        if (!path)
            return std::nullopt;
        node.shape = PlusObjects::boundedForBoolean(*path);
        node.size = 8 + d.i32(4);
    } else if (type == RegionEmpty || type == RegionInfinite) {
        node.infinite = type == RegionInfinite;
        node.size = 4;
    } else if (type >= RegionAnd && type <= RegionComplement) {
        const std::optional<RegionNode> left = regionNode(d.from(4), depth + 1, nodesLeft, budget);
        const std::optional<RegionNode> right =
            left ? regionNode(d.from(4 + left->size), depth + 1, nodesLeft, budget) : std::nullopt;
        if (!right || !budget.combines(left->shape, right->shape))
            return std::nullopt;
        node = combined(type, *left, *right);
        node.size = 4 + left->size + right->size;
    } else {
        return std::nullopt;
    }
    return node;
}

} // namespace

// [MS-EMFPLUS] 2.2.1.8 EmfPlusRegion: version, node count, the root node.
std::optional<PlusRegion> PlusObjects::readRegion(const PlusData &d, PlaybackBudget &budget)
{
    int nodesLeft = Limits::MaxRegionNodes;
    const std::optional<RegionNode> root = regionNode(d.from(8), 0, nodesLeft, budget);
    if (!root)
        return std::nullopt;
    PlusRegion o;
    o.path = root->shape;
    o.infinite = root->infinite;
    return o;
}
