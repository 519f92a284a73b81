#include "WalkRoute.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <queue>

#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoElement.h"
#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreLocation/CLLocation.h"

namespace {

// A stop farther than this from every highway vertex cannot be routed.
constexpr double kMaximumSnap = 250.0;

double metres(CLLocationCoordinate2D a, CLLocationCoordinate2D b) {
    return CLLocation(a.latitude, a.longitude)
        .distanceFromLocation(CLLocation(b.latitude, b.longitude));
}

struct Graph {
    std::vector<CLLocationCoordinate2D> vertices;
    std::vector<std::vector<std::pair<size_t, double>>> edges;
    std::map<std::pair<int64_t, int64_t>, size_t> index;

    size_t vertex(CLLocationCoordinate2D at) {
        const std::pair<int64_t, int64_t> key{std::llround(at.latitude * 1e7),
                                              std::llround(at.longitude * 1e7)};
        auto [found, inserted] = index.emplace(key, vertices.size());
        if (inserted) {
            vertices.push_back(at);
            edges.emplace_back();
        }
        return found->second;
    }

    void link(size_t a, size_t b) {
        if (a == b)
            return;
        const double length = metres(vertices[a], vertices[b]);
        edges[a].push_back({b, length});
        edges[b].push_back({a, length});
    }

    size_t nearest(CLLocationCoordinate2D at, double* distance) const {
        size_t best = 0;
        *distance = std::numeric_limits<double>::infinity();
        for (size_t i = 0; i < vertices.size(); ++i) {
            const double d = metres(at, vertices[i]);
            if (d < *distance) {
                *distance = d;
                best = i;
            }
        }
        return best;
    }

    // Dijkstra; the vertices from `from` to `to`, empty when unreachable.
    std::vector<size_t> shortestPath(size_t from, size_t to) const {
        std::vector<double> cost(vertices.size(), std::numeric_limits<double>::infinity());
        std::vector<size_t> previous(vertices.size(), SIZE_MAX);
        using Item = std::pair<double, size_t>;
        std::priority_queue<Item, std::vector<Item>, std::greater<>> open;
        cost[from] = 0;
        open.push({0, from});
        while (!open.empty()) {
            auto [c, v] = open.top();
            open.pop();
            if (v == to)
                break;
            if (c > cost[v])
                continue;
            for (auto [next, length] : edges[v]) {
                if (c + length < cost[next]) {
                    cost[next] = c + length;
                    previous[next] = v;
                    open.push({cost[next], next});
                }
            }
        }
        if (from != to && previous[to] == SIZE_MAX)
            return {};
        std::vector<size_t> path{to};
        while (path.back() != from)
            path.push_back(previous[path.back()]);
        return {path.rbegin(), path.rend()};
    }
};

Graph highwayGraph(NSManagedObjectContext& context) {
    Graph graph;
    NSFetchRequest request("element");
    request.predicate = NSPredicate::predicateWithFormat("highwayID != nil", {});
    for (const auto& found : context.executeFetchRequest(request).value_or(
             std::vector<std::shared_ptr<NSManagedObject>>{})) {
        auto element = std::dynamic_pointer_cast<CBGeoElement>(found);
        const auto path = element ? element->path() : nullptr;
        if (!path)
            continue;
        for (size_t segment = 0; segment < std::max<size_t>(1, path->segmentCount()); ++segment) {
            const size_t count = path->segmentCount() < 2
                                     ? path->count()
                                     : path->numberOfCoordinatesAtSegment(segment);
            size_t last = SIZE_MAX;
            for (size_t i = 0; i < count; ++i) {
                const auto at = path->segmentCount() < 2
                                    ? path->coordinateAtIndex(i)
                                    : path->coordinateAtIndexOfSegment(i, segment);
                const size_t v = graph.vertex(at);
                if (last != SIZE_MAX)
                    graph.link(last, v);
                last = v;
            }
        }
    }
    return graph;
}

// Appends the point with the steps in between, none longer than kStep.
void appendDensified(WalkRoute& route, CLLocationCoordinate2D to) {
    if (route.points.empty()) {
        route.points.push_back(to);
        return;
    }
    const CLLocationCoordinate2D from = route.points.back();
    const double length = metres(from, to);
    const int steps = std::max(1, static_cast<int>(std::ceil(length / WalkRoute::kStep)));
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps;
        route.points.push_back({from.latitude + (to.latitude - from.latitude) * t,
                                from.longitude + (to.longitude - from.longitude) * t});
    }
    route.totalDistance += length;
}

}  // namespace

WalkRoute WalkRoute::between(NSManagedObjectContext& context,
                             const std::vector<CLLocationCoordinate2D>& stops, std::string* error) {
    WalkRoute route;
    const Graph graph = highwayGraph(context);
    if (graph.vertices.empty() || stops.empty()) {
        *error = "no streets to walk on";
        return route;
    }
    std::vector<size_t> snapped;
    for (const auto& stop : stops) {
        double distance = 0;
        snapped.push_back(graph.nearest(stop, &distance));
        if (distance > kMaximumSnap) {
            *error = "a stop lies " + std::to_string(long(distance)) + " m from every street";
            return {};
        }
    }
    appendDensified(route, graph.vertices[snapped.front()]);
    route.stopDistances.push_back(0.0);
    for (size_t leg = 1; leg < snapped.size(); ++leg) {
        const auto path = graph.shortestPath(snapped[leg - 1], snapped[leg]);
        if (path.empty()) {
            *error = "no way between two stops";
            return {};
        }
        for (size_t i = 1; i < path.size(); ++i)
            appendDensified(route, graph.vertices[path[i]]);
        route.stopDistances.push_back(route.totalDistance);
    }
    return route;
}

std::string WalkRoute::gpx(const std::string& name) const {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"kelvara-wikipedia-builder\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "  <metadata><name>" +
        name +
        "</name><copyright author=\"OpenStreetMap contributors\">"
        "<license>https://opendatacommons.org/licenses/odbl/</license></copyright></metadata>\n"
        "  <trk><name>" +
        name + "</name><trkseg>\n";
    // Timed at walking pace from a fixed start, so a replay walks the route.
    char line[128];
    double walked = 0.0;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            walked += metres(points[i - 1], points[i]);
        const long seconds = std::lround(walked / kWalkingSpeed);
        std::snprintf(
            line, sizeof line,
            "    <trkpt lat=\"%.7f\" lon=\"%.7f\"><time>2024-05-18T%02ld:%02ld:%02ldZ</time>"
            "</trkpt>\n",
            points[i].latitude, points[i].longitude, 10 + seconds / 3600, seconds / 60 % 60,
            seconds % 60);
        text += line;
    }
    text += "  </trkseg></trk>\n</gpx>\n";
    return text;
}
