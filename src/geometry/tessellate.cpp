#include "geometry/tessellate.h"

#include <cassert>
#include <cmath>

namespace pelorus {
namespace {

Vec3 Sub(const TVertex& a, const TVertex& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const TVertex& p, const Vec3& e) { return p.x * e.x + p.y * e.y + p.z * e.z; }
double Length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
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

struct Part {
    std::vector<int32_t> numbers;
    bool top;     // the polygon as given, not a part of a split
    bool family;  // a part of a polygon that took the Newell plane
};

void TessellatePart(std::span<const TVertex> vertices, const Part& part, std::vector<TTriangle>& out,
                    std::vector<Part>& pending) {
    const std::span<const int32_t> poly(part.numbers);
    const std::size_t n = poly.size();
    assert(n >= 3);
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
        out.push_back(TTriangle{{poly[static_cast<std::size_t>(a)], poly[static_cast<std::size_t>(b)],
                                 poly[static_cast<std::size_t>(c)]}});
    };

    Ring ring(n);
    for (std::size_t k = 3; k < n; ++k) ring.Push(static_cast<int32_t>(k));
    int32_t a = 0, b = 1, c = 2;

    double s = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t k1 = (k + 1) % n;
        s += u[k] * v[k1] - u[k1] * v[k];
    }
    const bool ccw = s > 0;

    std::size_t fails = 0;
    bool split = false;
    while (!ring.Empty() && !split && fails < ring.Size() + 2) {
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
        std::ptrdiff_t bestPos = -1;
        for (std::size_t i = 0; i < ring.Size(); ++i) {
            const int32_t p = ring.At(i);
            const double e1a = area2(a, b, p), e2a = area2(b, c, p), e3a = area2(c, a, p);
            const bool inside = (e1a >= 0 && e2a >= 0 && e3a >= 0) || (e1a <= 0 && e2a <= 0 && e3a <= 0);
            if (inside && std::fabs(area2(a, p, c)) > std::fabs(area2(a, best, c))) {
                best = p;
                bestPos = static_cast<std::ptrdiff_t>(i);
            }
        }
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
        Part first{{}, false, family}, second{{}, false, family};
        first.numbers.push_back(poly[static_cast<std::size_t>(best)]);
        for (std::size_t i = cut; i < ring.Size(); ++i) first.numbers.push_back(poly[static_cast<std::size_t>(ring.At(i))]);
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
}

}  // namespace

void TessellatePolygon(std::span<const TVertex> vertices, std::span<const int32_t> polygon,
                       std::vector<TTriangle>& out) {
    if (polygon.size() < 3) return;
    std::vector<Part> pending;
    pending.push_back(Part{std::vector<int32_t>(polygon.begin(), polygon.end()), true, false});
    while (!pending.empty()) {
        Part part = std::move(pending.back());
        pending.pop_back();
        TessellatePart(vertices, part, out, pending);
    }
}

}  // namespace pelorus
