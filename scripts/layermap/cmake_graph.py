"""The project's targets and what each links, read from one configure run.

CMake writes the link graph itself (--graphviz); the injected targets.cmake
adds what the graph leaves out: where each target lives, what it compiles
and which include folders its compiler sees.
"""

import re
import subprocess
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

LIBRARY_TYPES = {"STATIC_LIBRARY", "SHARED_LIBRARY", "MODULE_LIBRARY", "OBJECT_LIBRARY", "INTERFACE_LIBRARY"}

_NODE = re.compile(r'^\s*"(node\d+)"\s*\[\s*label\s*=\s*"([^"]*)"')
_EDGE = re.compile(r'^\s*"(node\d+)"\s*->\s*"(node\d+)"')

# Only the one overview file: CMake otherwise writes two more files per target.
_GRAPHVIZ_OPTIONS = "set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)\nset(GRAPHVIZ_GENERATE_DEPENDERS FALSE)\n"


class ConfigureError(Exception):
    pass


@dataclass
class Target:
    name: str
    cmake_type: str
    folder: Path  # relative to the source root
    sources: list  # absolute paths inside the source tree
    include_dirs: list  # absolute paths inside the source tree, in the compiler's order
    links: set = field(default_factory=set)  # direct links: targets and outside libraries

    @property
    def is_library(self):
        return self.cmake_type in LIBRARY_TYPES


class ProjectGraph:
    def __init__(self, root, targets, outside_links):
        self.root = root
        self.targets = targets  # name -> Target
        # What the outside libraries link in turn (an imported target and its files).
        self._outside_links = outside_links
        self._closures = {}

    def closure(self, name):
        """Everything `name` links, directly or through what it links."""
        if name not in self._closures:
            seen, todo = set(), [name]
            while todo:
                for link in self._links_of(todo.pop()):
                    if link not in seen:
                        seen.add(link)
                        todo.append(link)
            seen.discard(name)
            self._closures[name] = seen
        return self._closures[name]

    def _links_of(self, name):
        target = self.targets.get(name)
        if target is not None:
            return target.links
        return self._outside_links.get(name, ())

    def rings(self):
        """Rings of project targets that link each other, each as the names
        along it with the first repeated at the end; empty when there are none."""
        rings, state = [], {}
        for start in sorted(self.targets):
            if start in state:
                continue
            path, todo = [], [(start, iter(sorted(self.project_links(start))))]
            state[start] = "open"
            path.append(start)
            while todo:
                name, links = todo[-1]
                link = next(links, None)
                if link is None:
                    state[name] = "done"
                    path.pop()
                    todo.pop()
                elif state.get(link) == "open":
                    rings.append(path[path.index(link):] + [link])
                elif link not in state:
                    state[link] = "open"
                    path.append(link)
                    todo.append((link, iter(sorted(self.project_links(link)))))
        return rings

    def project_links(self, name):
        """The targets of the project `name` links directly."""
        return [link for link in self.targets[name].links if link in self.targets]

    def libraries(self):
        return [t for t in self.targets.values() if t.is_library]

    def programs(self):
        return [t for t in self.targets.values() if not t.is_library]


def configure(root, build_dir=None):
    """Configures `root` into `build_dir` (a temporary folder when None) and reads its graph."""
    root = Path(root).resolve()
    if build_dir is None:
        with tempfile.TemporaryDirectory(prefix="layermap-") as scratch:
            return configure(root, scratch)
    build_dir = Path(build_dir).resolve()
    build_dir.mkdir(parents=True, exist_ok=True)
    (build_dir / "CMakeGraphVizOptions.cmake").write_text(_GRAPHVIZ_OPTIONS)
    dump = Path(__file__).resolve().parent / "targets.cmake"
    result = subprocess.run(
        ["cmake", "-S", str(root), "-B", str(build_dir), f"-DCMAKE_PROJECT_INCLUDE={dump}",
         f"--graphviz={build_dir / 'graph.dot'}"],
        capture_output=True, text=True)
    if result.returncode != 0:
        raise ConfigureError(f"cmake could not configure {root}:\n{result.stderr.strip()}")
    return read(root, build_dir)


def read(root, build_dir):
    """Reads the graph and the target list a configure run left in `build_dir`."""
    root, build_dir = Path(root).resolve(), Path(build_dir).resolve()
    table = build_dir / "layermap-targets.tsv"
    dot = build_dir / "graph.dot"
    for needed in (table, dot):
        if not needed.is_file():
            raise ConfigureError(f"{needed} is missing: the configure run wrote no target list or graph")
    targets, link_names = {}, {}
    for line in table.read_text().splitlines():
        if not line:
            continue
        name, cmake_type, folder, sources, includes, names = (line.split("\t") + [""] * 6)[:6]
        folder = Path(folder).resolve()
        if not folder.is_relative_to(root):
            continue  # a library fetched from elsewhere is an outside one
        targets[name] = Target(
            name=name, cmake_type=cmake_type, folder=folder.relative_to(root),
            sources=_inside(root, build_dir, (folder / s for s in sources.split("|") if s)),
            include_dirs=_inside(root, build_dir, (Path(i) for i in includes.split("|") if i)))
        link_names[name] = set(names.split("|"))
    outside_links = {}
    labels, edges = {}, []
    for line in dot.read_text().splitlines():
        if node := _NODE.match(line):
            labels[node.group(1)] = node.group(2)
        elif edge := _EDGE.match(line):
            edges.append((edge.group(1), edge.group(2)))
    for source, dest in edges:
        source, dest = labels[source], labels[dest]
        if source in targets:
            # An edge the target's link items do not name is an order of building.
            if dest in link_names[source]:
                targets[source].links.add(dest)
        else:
            outside_links.setdefault(source, set()).add(dest)
    return ProjectGraph(root, targets, outside_links)


def _inside(root, build_dir, paths):
    """The paths that lie in the source tree and not in the build folder, made
    absolute and each kept once in its first place."""
    kept = []
    for path in paths:
        path = (path if path.is_absolute() else root / path).resolve()
        if path.is_relative_to(root) and not path.is_relative_to(build_dir) and path not in kept:
            kept.append(path)
    return kept
