"""Finds includes that reach a library the including code does not link.

A library may use only what it links, directly or through what it links.
Linking alone cannot enforce that: a header that declares only inline code
or types links nothing, and every library sees the whole source root on its
include path. So each include line is resolved to the file it names and the
file's library is looked up from its folder.

Who owns a file: a file compiled by a target belongs to that target (to each,
when several compile it). Any other file belongs to the library of the
nearest folder at or above it that holds a target. A file with no library
there (the shared helpers of tests, benchmarks and tools) belongs to whoever
includes it, and its own includes are checked for each includer.
"""

import os
import re
from dataclasses import dataclass
from pathlib import Path

_INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
_CODE_SUFFIXES = {".h", ".hh", ".hpp", ".hxx", ".inl", ".ipp", ".c", ".cc", ".cpp", ".cxx"}


@dataclass(frozen=True, order=True)
class Violation:
    file: Path  # relative to the source root
    line: int
    include: str
    user: str  # the target whose code includes
    owner: str  # the library the included file belongs to

    def __str__(self):
        return (f'{self.file}:{self.line}: "{self.include}" belongs to {self.owner}, '
                f"which {self.user} does not link")


class IncludeCheck:
    def __init__(self, graph):
        self.graph = graph
        self.root = graph.root
        self._folder_targets = {}
        for target in graph.targets.values():
            self._folder_targets.setdefault(self.root / target.folder, []).append(target)
        self._compiled_by = {}
        for target in graph.targets.values():
            for source in target.sources:
                self._compiled_by.setdefault(source, []).append(target)
        every_dir = []
        for target in graph.targets.values():
            every_dir += [d for d in target.include_dirs if d not in every_dir]
        self._every_include_dir = every_dir
        self._includes = {}
        self._checked = set()
        self.violations = set()

    def run(self):
        """Checks every compiled file and every file of a library's folders;
        answers the violations sorted by file and line."""
        for target in self.graph.targets.values():
            for source in target.sources:
                self._check(source, target)
        for library in self.graph.libraries():
            for path in self._files_under(self.root / library.folder):
                if path not in self._compiled_by and library in self._owners(path):
                    self._check(path, library)
        return sorted(self.violations)

    def _check(self, path, user):
        if (path, user.name) in self._checked:
            return
        self._checked.add((path, user.name))
        for line, form, name in self._include_lines(path):
            included = self._resolve(path, form, name, user)
            if included is None:
                continue
            owners = self._owners(included)
            if not owners:
                self._check(included, user)
            elif not any(self._may_use(user, owner) for owner in owners):
                self.violations.add(Violation(path.relative_to(self.root), line, name, user.name,
                                              " or ".join(sorted(o.name for o in owners))))

    def _may_use(self, user, library):
        return library is user or library.name in self.graph.closure(user.name)

    def _owners(self, path):
        """The libraries a file belongs to; empty for a helper of programs."""
        if path in self._compiled_by:
            return [t for t in self._compiled_by[path] if t.is_library]
        for folder in [path.parent, *path.parent.parents]:
            targets = self._folder_targets.get(folder)
            if targets:
                return [t for t in targets if t.is_library]
            if folder == self.root:
                break
        return []

    def _resolve(self, path, form, name, user):
        """The project file an include names, searched as the compiler does:
        beside the including file for quotes, then the user's include folders.
        The project's other include folders come last, so that a header no
        compiled file of its own library includes is still checked."""
        candidates = [path.parent] if form == '"' else []
        candidates += user.include_dirs + self._every_include_dir
        for folder in candidates:
            found = folder / name
            if found.is_file():
                found = Path(os.path.normpath(found))
                return found if found.is_relative_to(self.root) else None
        return None

    def _include_lines(self, path):
        if path not in self._includes:
            lines = []
            try:
                text = path.read_text(errors="replace")
            except OSError:
                text = ""
            for number, line in enumerate(text.splitlines(), 1):
                if match := _INCLUDE.match(line):
                    lines.append((number, match.group(1), match.group(2)))
            self._includes[path] = lines
        return self._includes[path]

    def _files_under(self, folder):
        for dirpath, dirnames, filenames in os.walk(folder):
            dirnames[:] = sorted(d for d in dirnames if not d.startswith("."))
            for filename in sorted(filenames):
                if Path(filename).suffix in _CODE_SUFFIXES:
                    yield Path(dirpath) / filename
