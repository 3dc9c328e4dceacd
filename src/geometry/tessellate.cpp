#include "geometry/tessellate.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace pelorus {
namespace {

Vec3 Sub(const TVertex& a, const TVertex& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const TVertex& p, const Vec3& e) {
    return p.x * e.x + p.y * e.y + p.z * e.z;
}
void Normalise(Vec3& v) {
    const double len = Length(v);
    if (len != 0) v = {v.x / len, v.y / len, v.z / len};
}

// The first three vertices give no plane: their normal vanishes, up to rounding, against the
// lengths of the two edges it is made from.
bool Collinear(const Vec3& n, const Vec3& e1, const Vec3& e2) {
    const double limit = 1e-10 * Length(e1) * Length(e2);
    return Length(n) <= limit;
}

Vec3 NewellNormal(std::span<const TVertex> vertices, std::span<const int32_t> poly) {
    Vec3 n;
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const TVertex& p = vertices[static_cast<std::size_t>(poly[k])];
        const TVertex& q = vertices[static_cast<std::size_t>(poly[(k + 1) % poly.size()])];
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return n;
}

Vec3 FirstEdge(std::span<const TVertex> vertices, std::span<const int32_t> poly) {
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const Vec3 e = Sub(vertices[static_cast<std::size_t>(poly[(k + 1) % poly.size()])],
                           vertices[static_cast<std::size_t>(poly[k])]);
        if (e.x != 0 || e.y != 0 || e.z != 0) return e;
    }
    return {};
}

// A queue of polygon positions with room for the whole polygon.
class Ring {
public:
    explicit Ring(std::size_t capacity) : slots_(capacity + 1) {}
    void Push(int32_t v) {
        slots_[write_] = v;
        write_ = (write_ + 1) % slots_.size();
    }
    int32_t Pop() {
        assert(Size() > 0);
        const int32_t v = slots_[read_];
        read_ = (read_ + 1) % slots_.size();
        return v;
    }
    std::size_t Size() const { return (write_ + slots_.size() - read_) % slots_.size(); }
    bool Empty() const { return read_ == write_; }
    int32_t At(std::size_t i) const { return slots_[(read_ + i) % slots_.size()]; }

private:
    std::vector<int32_t> slots_;
    std::size_t read_ = 0, write_ = 0;
};

// The polygon positions that are not in the current corner triple, in ring order. Large polygons
// also keep their positions in a grid over the projected coordinates, so that the vertices that
// may lie inside a corner's triangle are found without visiting all of them; both ways choose the
// same vertex.
class EarRing {
public:
    static constexpr std::size_t kGridFrom = 64;

    EarRing(const std::vector<double>& u, const std::vector<double>& v, bool indexed) : ring_(u.size()), u_(u), v_(v) {
        const std::size_t n = u.size();
        if (!indexed || n < kGridFrom) return;
        double u0 = u[0], u1 = u[0], v0 = v[0], v1 = v[0];
        for (std::size_t k = 0; k < n; ++k) {
            if (!std::isfinite(u[k]) || !std::isfinite(v[k])) return;
            u0 = std::min(u0, u[k]);
            u1 = std::max(u1, u[k]);
            v0 = std::min(v0, v[k]);
            v1 = std::max(v1, v[k]);
        }
        if (!(u1 > u0) || !(v1 > v0) || !std::isfinite(u1 - u0) || !std::isfinite(v1 - v0)) return;
        side_ = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
        u0_ = u0;
        v0_ = v0;
        uScale_ = static_cast<double>(side_) / (u1 - u0);
        vScale_ = static_cast<double>(side_) / (v1 - v0);
        head_.assign(side_ * side_, -1);
        next_.assign(n, -1);
        prev_.assign(n, -1);
        cell_.assign(n, 0);
        seq_.assign(n, 0);
    }

    void Push(int32_t k) {
        ring_.Push(k);
        if (head_.empty()) return;
        const auto K = static_cast<std::size_t>(k);
        seq_[K] = nextSeq_++;
        const std::size_t c = Cell(u_[K], v_[K]);
        cell_[K] = c;
        prev_[K] = -1;
        next_[K] = head_[c];
        if (head_[c] >= 0) prev_[static_cast<std::size_t>(head_[c])] = k;
        head_[c] = k;
    }
    int32_t Pop() {
        const int32_t k = ring_.Pop();
        if (head_.empty()) return k;
        const auto K = static_cast<std::size_t>(k);
        if (prev_[K] >= 0)
            next_[static_cast<std::size_t>(prev_[K])] = next_[K];
        else
            head_[cell_[K]] = next_[K];
        if (next_[K] >= 0) prev_[static_cast<std::size_t>(next_[K])] = prev_[K];
        return k;
    }
    std::size_t Size() const { return ring_.Size(); }
    bool Empty() const { return ring_.Empty(); }
    int32_t At(std::size_t i) const { return ring_.At(i); }

    // The vertex to split the corner (a, b, c) at: of the ring vertices inside or on its triangle,
    // the one farthest from the line a-c (the first in ring order among equals); -1 when none lies
    // off that line. `best` receives it, the result is its place in ring order.
    // `visited` grows by the vertices and grid cells looked at.
    template <typename Area>
    std::ptrdiff_t FindSplit(int32_t a, int32_t b, int32_t c, const Area& area2, int32_t& best,
                             uint64_t& visited) const {
        best = c;
        double bestValue = std::fabs(area2(a, best, c));
        auto consider = [&](int32_t p, bool earlier) {
            const double e1a = area2(a, b, p), e2a = area2(b, c, p), e3a = area2(c, a, p);
            if (!((e1a >= 0 && e2a >= 0 && e3a >= 0) || (e1a <= 0 && e2a <= 0 && e3a <= 0))) return false;
            const double value = std::fabs(area2(a, p, c));
            if (value > bestValue || (earlier && value == bestValue && best != c)) {
                best = p;
                bestValue = value;
                return true;
            }
            return false;
        };
        if (head_.empty()) {
            std::ptrdiff_t pos = -1;
            visited += ring_.Size();
            for (std::size_t i = 0; i < ring_.Size(); ++i)
                if (consider(ring_.At(i), false)) pos = static_cast<std::ptrdiff_t>(i);
            return pos;
        }
        const auto A = static_cast<std::size_t>(a), B = static_cast<std::size_t>(b), C = static_cast<std::size_t>(c);
        const std::size_t x0 = Index(std::min({u_[A], u_[B], u_[C]}), u0_, uScale_);
        const std::size_t x1 = Index(std::max({u_[A], u_[B], u_[C]}), u0_, uScale_);
        const std::size_t y0 = Index(std::min({v_[A], v_[B], v_[C]}), v0_, vScale_);
        const std::size_t y1 = Index(std::max({v_[A], v_[B], v_[C]}), v0_, vScale_);
        bool found = false;
        for (std::size_t y = y0; y <= y1; ++y)
            for (std::size_t x = x0; x <= x1; ++x) {
                ++visited;
                for (int32_t p = head_[y * side_ + x]; p >= 0; p = next_[static_cast<std::size_t>(p)]) {
                    ++visited;
                    const bool earlier =
                        found && seq_[static_cast<std::size_t>(p)] < seq_[static_cast<std::size_t>(best)];
                    if (consider(p, earlier)) found = true;
                }
            }
        if (!found) return -1;
        visited += ring_.Size();
        std::ptrdiff_t pos = 0;
        for (std::size_t i = 0; i < ring_.Size(); ++i)
            if (seq_[static_cast<std::size_t>(ring_.At(i))] < seq_[static_cast<std::size_t>(best)]) ++pos;
        return pos;
    }

private:
    std::size_t Index(double value, double origin, double scale) const {
        double t = (value - origin) * scale;
        if (!(t >= 0)) t = 0;
        const auto last = static_cast<double>(side_ - 1);
        if (t > last) t = last;
        return static_cast<std::size_t>(t);
    }
    std::size_t Cell(double u, double v) const { return Index(v, v0_, vScale_) * side_ + Index(u, u0_, uScale_); }

    Ring ring_;
    const std::vector<double>& u_;
    const std::vector<double>& v_;
    std::size_t side_ = 0;
    double u0_ = 0, v0_ = 0, uScale_ = 0, vScale_ = 0;
    std::vector<int32_t> head_, next_, prev_;
    std::vector<std::size_t> cell_;
    std::vector<uint64_t> seq_;
    uint64_t nextSeq_ = 0;
};

struct Part {
    std::vector<int32_t> numbers;
    bool top;      // the polygon as given, not a part of a split
    bool family;   // a part of a polygon that took the Newell plane
    bool indexed;  // large parts use the grid
};

// The work one polygon may take, in vertices and grid cells visited. Ear clipping costs about the
// polygon's size for each ear that holds a vertex, so a hostile polygon (its vertices repeated
// over and over, each ear splitting off a sliver) would take time quadratic in its size.
class WorkBudget {
public:
    explicit WorkBudget(uint64_t units) : left_(units) {}
    // False, from now on, once more than what is left is asked for.
    bool Spend(uint64_t units) {
        if (exhausted_ || units > left_) {
            exhausted_ = true;
            return false;
        }
        left_ -= units;
        return true;
    }
    bool Exhausted() const { return exhausted_; }

private:
    uint64_t left_;
    bool exhausted_ = false;
};

// Setting up a part (its plane, projection, orientation and grid) costs about this many units
// per vertex.
constexpr uint64_t kSetupUnits = 32;

// Enough for every polygon people write, whatever its shape (up to a few thousand vertices even
// for the costliest shapes; a million units take a few milliseconds), and for larger ones
// 4 n log n more.
uint64_t WorkAllowed(std::size_t n) {
    uint64_t log2 = 1;
    while ((std::size_t{1} << log2) < n && log2 < 63) ++log2;
    return (uint64_t{1} << 23) + 4 * static_cast<uint64_t>(n) * log2;
}

// The triangles (p0, pk, pk+1) of `numbers` in order, leaving out those with a corner repeated
// (they have no area).
void EmitFan(std::span<const int32_t> numbers, std::vector<TTriangle>& out) {
    for (std::size_t k = 1; k + 1 < numbers.size(); ++k) {
        const int32_t a = numbers[0], b = numbers[k], c = numbers[k + 1];
        if (a != b && b != c && c != a) out.push_back(TTriangle{{a, b, c}});
    }
}

// Clips `part`, pushing the parts of a split onto `pending` (the one to do first last). When the
// budget runs out, what is left of the part is fanned out and false is returned.
bool TessellatePart(std::span<const TVertex> vertices, const Part& part, std::vector<TTriangle>& out,
                    std::vector<Part>& pending, WorkBudget& budget) {
    const std::span<const int32_t> poly(part.numbers);
    const std::size_t n = poly.size();
    assert(n >= 3);
    if (!budget.Spend(kSetupUnits * n)) {
        EmitFan(poly, out);
        return false;
    }
    auto at = [&](int32_t pos) -> const TVertex& {
        return vertices[static_cast<std::size_t>(poly[static_cast<std::size_t>(pos)])];
    };

    // Plane frame.
    Vec3 e1 = Sub(at(1), at(0));
    const Vec3 e2 = Sub(at(2), at(0));
    Vec3 normal = Cross(e1, e2);
    bool usedFallback = false;
    if ((part.top || part.family) && Collinear(normal, e1, e2)) {
        normal = NewellNormal(vertices, poly);
        e1 = FirstEdge(vertices, poly);
        usedFallback = true;
    }
    Vec3 w = Cross(normal, e1);
    Normalise(e1);
    Normalise(w);

    std::vector<double> u(n), v(n);
    for (std::size_t k = 0; k < n; ++k) {
        const TVertex& p = vertices[static_cast<std::size_t>(poly[k])];
        u[k] = Dot(p, e1);
        v[k] = Dot(p, w);
    }
    auto area2 = [&](int32_t p, int32_t q, int32_t r) {
        const auto P = static_cast<std::size_t>(p), Q = static_cast<std::size_t>(q), R = static_cast<std::size_t>(r);
        return u[P] * (v[Q] - v[R]) + u[Q] * (v[R] - v[P]) + u[R] * (v[P] - v[Q]);
    };
    auto emit = [&](int32_t a, int32_t b, int32_t c) {
        out.push_back(TTriangle{
            {poly[static_cast<std::size_t>(a)], poly[static_cast<std::size_t>(b)], poly[static_cast<std::size_t>(c)]}});
    };

    EarRing ring(u, v, part.indexed);
    for (std::size_t k = 3; k < n; ++k) ring.Push(static_cast<int32_t>(k));
    int32_t a = 0, b = 1, c = 2;

    double s = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t k1 = (k + 1) % n;
        s += u[k] * v[k1] - u[k1] * v[k];
    }
    const bool ccw = s > 0;

    // What is left, in polygon order (a, b, c, then the ring), fanned out.
    auto giveUp = [&] {
        std::vector<int32_t> left{poly[static_cast<std::size_t>(a)], poly[static_cast<std::size_t>(b)],
                                  poly[static_cast<std::size_t>(c)]};
        for (std::size_t i = 0; i < ring.Size(); ++i) left.push_back(poly[static_cast<std::size_t>(ring.At(i))]);
        EmitFan(left, out);
        return false;
    };

    std::size_t fails = 0;
    bool split = false;
    while (!ring.Empty() && !split && fails < ring.Size() + 2) {
        if (!budget.Spend(1)) return giveUp();
        const double d = area2(a, b, c);
        if (ccw ? d < 1e-7 : d > -1e-7) {
            ++fails;
            ring.Push(a);
            a = b;
            b = c;
            c = ring.Pop();
            continue;
        }
        fails = 0;
        int32_t best = c;
        uint64_t visited = 0;
        const std::ptrdiff_t bestPos = ring.FindSplit(a, b, c, area2, best, visited);
        if (!budget.Spend(visited)) return giveUp();
        if (bestPos < 0) {
            emit(a, b, c);
            ring.Push(a);
            a = c;
            b = ring.Pop();
            c = ring.Pop();
            continue;
        }
        // Split along the diagonal b-best.
        const auto cut = static_cast<std::size_t>(bestPos) + 1;
        const bool family = part.family || usedFallback;
        Part first{{}, false, family, part.indexed}, second{{}, false, family, part.indexed};
        first.numbers.push_back(poly[static_cast<std::size_t>(best)]);
        for (std::size_t i = cut; i < ring.Size(); ++i)
            first.numbers.push_back(poly[static_cast<std::size_t>(ring.At(i))]);
        first.numbers.push_back(poly[static_cast<std::size_t>(a)]);
        first.numbers.push_back(poly[static_cast<std::size_t>(b)]);
        second.numbers.push_back(poly[static_cast<std::size_t>(b)]);
        second.numbers.push_back(poly[static_cast<std::size_t>(c)]);
        for (std::size_t i = 0; i < cut; ++i) second.numbers.push_back(poly[static_cast<std::size_t>(ring.At(i))]);
        pending.push_back(std::move(second));  // done after the first part
        pending.push_back(std::move(first));
        split = true;
    }
    if (!split && (ccw || fails < ring.Size() + 2)) emit(a, b, c);
    return true;
}

void Tessellate(std::span<const TVertex> vertices, std::span<const int32_t> polygon, std::vector<TTriangle>& out,
                bool indexed) {
    if (polygon.size() < 3) return;
    WorkBudget budget(indexed ? WorkAllowed(polygon.size()) : UINT64_MAX);
    std::vector<Part> pending;
    pending.push_back(Part{std::vector<int32_t>(polygon.begin(), polygon.end()), true, false, indexed});
    while (!pending.empty()) {
        Part part = std::move(pending.back());
        pending.pop_back();
        if (budget.Exhausted())
            EmitFan(part.numbers, out);
        else
            TessellatePart(vertices, part, out, pending, budget);
    }
}

}  // namespace

void TessellatePolygon(std::span<const TVertex> vertices, std::span<const int32_t> polygon,
                       std::vector<TTriangle>& out) {
    Tessellate(vertices, polygon, out, true);
}

void TessellatePolygonByScan(std::span<const TVertex> vertices, std::span<const int32_t> polygon,
                             std::vector<TTriangle>& out) {
    Tessellate(vertices, polygon, out, false);
}

}  // namespace pelorus
