"""scripts/architecture on a small project of its own: two include roots
like src/ and platform/, static libraries, a library of headers only, and
two programs sharing a helper header. The project is configured once; the
cases change only file contents, which the link graph does not depend on."""

import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
sys.path.insert(0, str(SCRIPTS))

from layermap import cmake_graph, include_check, layer_doc  # noqa: E402

BEGIN, END = layer_doc.BEGIN, layer_doc.END

FIXTURE = {
    "CMakeLists.txt": """cmake_minimum_required(VERSION 3.25)
project(Fixture CXX)
foreach(dir platform/Kit src/lower src/glyphs src/upper tools/probe tools/show)
    add_subdirectory(${dir})
endforeach()
""",
    "platform/Kit/CMakeLists.txt": """add_library(platform_Kit STATIC Kit.cpp)
target_include_directories(platform_Kit PUBLIC ${CMAKE_SOURCE_DIR}/platform)
""",
    "platform/Kit/Kit.h": "#pragma once\n#include <string>\nstd::string kit();\n",
    "platform/Kit/Kit.cpp": '#include "Kit/Kit.h"\nstd::string kit() { return "kit"; }\n',
    "src/lower/CMakeLists.txt": """add_library(kv_lower STATIC Lower.cpp)
target_include_directories(kv_lower PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(kv_lower PUBLIC platform_Kit)
# Built first, not linked: the graph draws this edge like a link.
add_dependencies(kv_lower kv_glyphs)
""",
    "src/lower/Lower.h": '#pragma once\n#include "Kit/Kit.h"\nint lower();\n',
    "src/lower/Lower.cpp": '#include "lower/Lower.h"\n#include "zlib.h"\nint lower() { return 1; }\n',
    "src/glyphs/CMakeLists.txt": """add_library(kv_glyphs INTERFACE)
target_include_directories(kv_glyphs INTERFACE ${CMAKE_SOURCE_DIR}/src)
""",
    "src/glyphs/Glyph.h": "#pragma once\nstruct Glyph { int code = 0; };\n",
    "src/upper/CMakeLists.txt": """add_library(kv_upper STATIC Upper.cpp)
target_include_directories(kv_upper PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(kv_upper PUBLIC kv_lower kv_glyphs)
""",
    "src/upper/Upper.h": '#pragma once\n#include "glyphs/Glyph.h"\n#include "lower/Lower.h"\nGlyph upper();\n',
    "src/upper/Inline.h": "#pragma once\ninline int twice(int v) { return 2 * v; }\n",
    "src/upper/Upper.cpp": '#include "upper/Inline.h"\n#include "upper/Upper.h"\nGlyph upper() { return {}; }\n',
    "tools/shared/Helper.h": '#pragma once\n#include "lower/Lower.h"\n',
    "tools/probe/CMakeLists.txt": """add_executable(probe main.cpp)
target_include_directories(probe PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(probe PRIVATE kv_lower)
add_custom_command(TARGET probe POST_BUILD COMMAND probe)
""",
    "tools/probe/main.cpp": '#include "shared/Helper.h"\nint main() { return lower(); }\n',
    "tools/show/CMakeLists.txt": """add_executable(show main.cpp)
target_include_directories(show PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(show PRIVATE kv_upper)
""",
    "tools/show/main.cpp": '#include "shared/Helper.h"\n#include "upper/Upper.h"\nint main() { return 0; }\n',
    "docs/ARCHITECTURE.md": f"# Fixture\n\nWritten by hand.\n\n{BEGIN}\n{END}\n\nAlso by hand.\n",
}


class FixtureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="layermap-test-")
        cls.root = Path(cls.scratch.name) / "project"
        cls.build = Path(cls.scratch.name) / "build"
        cls.write_fixture()
        cls.graph = cmake_graph.configure(cls.root, cls.build)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    @classmethod
    def write_fixture(cls):
        for name, text in FIXTURE.items():
            path = cls.root / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)

    def setUp(self):
        self.write_fixture()
        (self.root / "platform/Kit/KitExtras.h").unlink(missing_ok=True)

    def append(self, name, line):
        with open(self.root / name, "a") as file:
            file.write(line + "\n")

    def violations(self):
        return [str(v) for v in include_check.IncludeCheck(cmake_graph.read(self.root, self.build)).run()]

    def script(self, *args):
        return subprocess.run([sys.executable, str(SCRIPTS / "architecture"), "--source", str(self.root),
                               "--build-dir", str(self.build), *args], capture_output=True, text=True)


class IncludeCheckTest(FixtureTest):
    def test_the_project_as_written_passes(self):
        self.assertEqual(self.violations(), [])

    def test_a_header_only_upward_include_fails_the_check(self):
        # Inline.h declares nothing that links, so only the check can see it.
        self.append("src/lower/Lower.h", '#include "upper/Inline.h"')
        expected = 'src/lower/Lower.h:4: "upper/Inline.h" belongs to kv_upper, which kv_lower does not link'
        self.assertEqual(self.violations(), [expected])
        run = self.script("--check")
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertIn(expected, run.stdout)

    def test_a_library_of_headers_only_is_known_by_its_folder(self):
        self.append("src/lower/Lower.cpp", '#include "glyphs/Glyph.h"')
        self.assertEqual(self.violations(),
                         ['src/lower/Lower.cpp:4: "glyphs/Glyph.h" belongs to kv_glyphs, which kv_lower does not link'])

    def test_a_relative_include_names_the_library_of_the_file_it_reaches(self):
        self.append("src/lower/Lower.cpp", '#include "../upper/Upper.h"')
        self.assertEqual(self.violations(),
                         ['src/lower/Lower.cpp:4: "../upper/Upper.h" belongs to kv_upper, which kv_lower does not link'])

    def test_a_header_no_source_of_its_library_includes_is_checked_too(self):
        # The stand-in's own include path has no src/: only code above would
        # compile this header, so it is found by walking the folder.
        (self.root / "platform/Kit/KitExtras.h").write_text('#pragma once\n#include "lower/Lower.h"\n')
        self.assertEqual(self.violations(), [
            'platform/Kit/KitExtras.h:2: "lower/Lower.h" belongs to kv_lower, which platform_Kit does not link'])

    def test_a_shared_helper_is_checked_for_each_program_that_includes_it(self):
        self.append("tools/shared/Helper.h", '#include "upper/Inline.h"')
        self.assertEqual(self.violations(),
                         ['tools/shared/Helper.h:3: "upper/Inline.h" belongs to kv_upper, which probe does not link'])


class LayerDocTest(FixtureTest):
    def test_levels_follow_the_links_and_stands_on_leaves_out_what_another_link_brings(self):
        renderer = layer_doc.Renderer(self.graph)
        self.assertEqual({n: renderer.level(n) for n in ("platform_Kit", "kv_glyphs", "kv_lower", "kv_upper")},
                         {"platform_Kit": 0, "kv_glyphs": 0, "kv_lower": 1, "kv_upper": 2})
        self.assertEqual(renderer.stands_on("kv_upper"), ["kv_glyphs", "kv_lower"])
        self.assertEqual(set(renderer.may_use("kv_upper")), {"kv_glyphs", "kv_lower", "platform_Kit"})
        picture = layer_doc.render(self.graph)
        self.assertRegex(picture, r"\n +2  upper\n +1  lower\n +0  glyphs +Kit\n")
        self.assertIn("| kv_upper | src/upper | src/glyphs, src/lower | src/ glyphs, lower; platform/ Kit | – |",
                      picture)
        self.assertIn("| probe | tools/probe | src/lower | – |", picture)

    def test_the_generated_part_is_written_between_the_markers_and_checked(self):
        doc = self.root / "docs/ARCHITECTURE.md"
        self.assertEqual(self.script().returncode, 0)
        written = doc.read_text()
        self.assertTrue(written.startswith("# Fixture\n\nWritten by hand.\n\n" + BEGIN))
        self.assertTrue(written.endswith(END + "\n\nAlso by hand.\n"))
        self.assertIn("### The layer picture", written)
        self.assertEqual(self.script("--check").returncode, 0)

        doc.write_text(written.replace("| kv_upper | src/upper |", "| kv_upper | src/elsewhere |"))
        run = self.script("--check")
        self.assertEqual(run.returncode, 1)
        self.assertIn("out of date: run scripts/architecture", run.stderr)
        self.assertIn("src/elsewhere", doc.read_text(), "the check changes nothing")

    def test_a_document_without_the_markers_is_refused_and_kept(self):
        doc = self.root / "docs/ARCHITECTURE.md"
        doc.write_text("# Fixture\n")
        run = self.script()
        self.assertEqual(run.returncode, 2)
        self.assertIn("markers", run.stderr)
        self.assertEqual(doc.read_text(), "# Fixture\n")


class RingTest(unittest.TestCase):
    def test_libraries_that_link_each_other_are_named_along_their_ring(self):
        def library(name, *links):
            return cmake_graph.Target(name, "STATIC_LIBRARY", Path("src") / name, [], [], set(links))
        graph = cmake_graph.ProjectGraph(Path("/"), {t.name: t for t in [
            library("a", "b", "zlib"), library("b", "c"), library("c", "a"), library("d", "a")]}, {})
        self.assertEqual(graph.rings(), [["a", "b", "c", "a"]])
        graph.targets["c"].links.clear()
        self.assertEqual(graph.rings(), [])


if __name__ == "__main__":
    unittest.main()
