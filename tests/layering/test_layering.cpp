// The folders of src/ are layers: each includes only its own headers and those of the layers
// below it, OpenGL is used in render/ alone and Qt in app/ alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;

// Each layer and the layers it builds on directly (as src/CMakeLists.txt links them).
const std::map<std::string, std::vector<std::string>> kLayers = {
    {"platform", {}},
    {"geometry", {"platform"}},
    {"reader", {"geometry"}},
    {"world", {"reader", "net"}},
    {"scene", {"world"}},
    {"export", {"scene"}},
    {"render", {"scene"}},
    {"shell", {"scene", "export"}},
    {"app", {"shell", "render"}},
    {"cli", {"shell"}},
    {"net", {"platform"}},
};

// Everything a layer may include: itself and every layer below it.
std::set<std::string> Reachable(const std::string& layer) {
    std::set<std::string> seen{layer};
    std::vector<std::string> todo{layer};
    while (!todo.empty()) {
        const std::string next = todo.back();
        todo.pop_back();
        const auto it = kLayers.find(next);
        if (it == kLayers.end()) continue;
        for (const std::string& below : it->second)
            if (seen.insert(below).second) todo.push_back(below);
    }
    return seen;
}

struct Include {
    std::string file;    // relative to src/
    std::string layer;   // the folder the file is in
    std::string target;  // what it includes, as written
    bool system = false;
};

// The target of an #include line: what it names and whether in angle brackets; false for any
// other line.
bool ParseInclude(std::string_view line, std::string& target, bool& system) {
    auto skipBlanks = [&] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    };
    skipBlanks();
    if (line.empty() || line.front() != '#') return false;
    line.remove_prefix(1);
    skipBlanks();
    if (!line.starts_with("include")) return false;
    line.remove_prefix(7);
    skipBlanks();
    if (line.empty() || (line.front() != '<' && line.front() != '"')) return false;
    system = line.front() == '<';
    const std::size_t end = line.find(system ? '>' : '"', 1);
    if (end == std::string_view::npos) return false;
    target = std::string(line.substr(1, end - 1));
    return true;
}

// Every #include line of every source file below `root`.
std::vector<Include> IncludesOf(const fs::path& root) {
    std::vector<Include> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string ext = entry.path().extension().string();
        if (ext != ".h" && ext != ".cpp" && ext != ".in") continue;
        const fs::path relative = fs::relative(entry.path(), root);
        std::ifstream in(entry.path());
        std::string text;
        while (std::getline(in, text)) {
            std::string target;
            bool system = false;
            if (!ParseInclude(text, target, system)) continue;
            out.push_back({relative.string(), relative.begin()->string(), target, system});
        }
    }
    return out;
}

std::string LayerOfTarget(const std::string& target) {
    const std::size_t slash = target.find('/');
    return slash == std::string::npos ? std::string() : target.substr(0, slash);
}

class Layering : public ::testing::Test {
protected:
    fs::path src_ = fs::path(test::SourceDir()) / "src";
    std::vector<Include> includes_ = IncludesOf(src_);
};

TEST_F(Layering, EveryFolderOfTheSourcesIsALayer) {
    ASSERT_FALSE(includes_.empty());
    for (const auto& entry : fs::directory_iterator(src_)) {
        if (!entry.is_directory()) continue;
        EXPECT_TRUE(kLayers.count(entry.path().filename().string()))
            << entry.path() << " is not placed among the layers";
    }
}

TEST_F(Layering, NoHeaderOfAHigherOrUnrelatedLayerIsIncluded) {
    for (const Include& inc : includes_) {
        if (inc.system) continue;
        const std::string target = LayerOfTarget(inc.target);
        ASSERT_FALSE(target.empty()) << inc.file << " includes \"" << inc.target << "\" without its folder";
        EXPECT_TRUE(Reachable(inc.layer).count(target))
            << inc.file << " (layer " << inc.layer << ") includes \"" << inc.target << "\" of layer " << target;
    }
}

TEST_F(Layering, TheFoldersIncludeEachOtherWithoutACycle) {
    // Independent of the table: the graph the include lines themselves make.
    std::map<std::string, std::set<std::string>> graph;
    for (const Include& inc : includes_) {
        if (inc.system) continue;
        const std::string target = LayerOfTarget(inc.target);
        if (!target.empty() && target != inc.layer) graph[inc.layer].insert(target);
    }
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::vector<std::string> path;
    std::function<void(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        for (const std::string& next : graph[node]) {
            if (state[next] == 1) {
                std::string cycle;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it) cycle += *it + " -> ";
                ADD_FAILURE() << "include cycle: " << cycle << next;
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[node] = 2;
    };
    for (const auto& [node, targets] : graph)
        if (state[node] == 0) visit(node);
}

TEST_F(Layering, OpenGLIsUsedInRenderAloneAndQtInAppAlone) {
    for (const Include& inc : includes_) {
        if (!inc.system) continue;
        const bool gl = inc.target.starts_with("GL/") || inc.target.starts_with("EGL/");
        const bool qt = inc.target.starts_with("Q");
        if (gl) {
            EXPECT_EQ(inc.layer, "render") << inc.file << " includes <" << inc.target << ">";
        }
        if (qt) {
            EXPECT_EQ(inc.layer, "app") << inc.file << " includes <" << inc.target << ">";
        }
    }
}

TEST_F(Layering, LibcurlIsUsedInNetAlone) {
    for (const Include& inc : includes_)
        if (inc.system && inc.target.starts_with("curl/")) {
            EXPECT_EQ(inc.layer, "net") << inc.file << " includes <" << inc.target << ">";
        }
}

}  // namespace
}  // namespace pelorus
