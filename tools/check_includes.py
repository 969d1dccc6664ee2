#!/usr/bin/env python3
"""Checks that the includes of the C++ sources follow the layers.

Every folder with sources has a layer below; a file may include the files of
its own folder and of the folders its layer names, nothing else of the
project. Tests (*_unittest.cc, fuzz targets *_fuzzer.cc and the files of
test-support folders) may also include the test-support folders and
GoogleTest; product code may include neither. A folder that no layer covers fails too, so that a new folder states
its place before it lands.

  tools/check_includes.py [SOURCE_ROOT]

Prints one line per violation and exits with 1 when there is any.
"""

import os
import re
import sys

# Where the project's own sources live; includes of other paths belong to the
# system or to third parties.
PROJECT_FOLDERS = ('base', 'bench', 'components', 'crypto', 'desktop',
                   'testing')

INSTALLER = 'desktop/windows/installer'

# Layer keys: a folder; "folder/**" for a folder and every folder below it
# that has no key of its own; "folder/*" for each folder directly below it
# that has no key of its own. The values name the folders (keys) that the
# layer may include.
_BASE = ['base/**']
_LEAVES = _BASE + ['base/features', INSTALLER + '/product']
_SERVICES = _LEAVES + [
    INSTALLER + '/process',
    INSTALLER + '/service',
    INSTALLER + '/service/transactions',
]
_CORE = _SERVICES + [
    'crypto',
    'components/prefs',
    'desktop/common/autoupdate/updatechecker',
    'desktop/windows/rc_l10n_handler',
    INSTALLER + '/ipc',
    INSTALLER + '/wininet',
]
_FRONT_END = _CORE + [
    INSTALLER,
    INSTALLER + '/host',
    INSTALLER + '/package_fetcher',
]

LAYERS = {
    # The platform layer; its subfolders are rooms of one library.
    'base/**': [],
    'base/features': _BASE,
    'crypto': _BASE,
    # Support layers of the installer and the crash reporter.
    'components/*': _BASE + ['crypto', 'components/*'],
    # Plain C++ that also builds natively for the fuzzer; its rooms use
    # each other.
    'components/sevenzip/**': [],
    'desktop/common/autoupdate/updatechecker': _BASE + ['components/prefs'],
    'desktop/windows/rc_l10n_handler': _BASE + [INSTALLER + '/host'],
    # The host executable and the resource ids it shares with the library.
    INSTALLER + '/host': _BASE,
    # The installer, from its leaves up.
    INSTALLER + '/product': _BASE + ['base/features', INSTALLER + '/host'],
    INSTALLER + '/process': _LEAVES,
    INSTALLER + '/service': _LEAVES,
    INSTALLER + '/service/transactions': _LEAVES + [INSTALLER + '/service'],
    INSTALLER + '/ipc': _BASE,
    INSTALLER + '/wininet': _LEAVES + [INSTALLER + '/process', 'components/upload'],
    INSTALLER: _CORE,
    INSTALLER + '/package_fetcher':
        _CORE + [INSTALLER, 'components/sevenzip/**'],
    INSTALLER + '/steps': _FRONT_END,
    INSTALLER + '/engine': _FRONT_END + [INSTALLER + '/steps'],
    INSTALLER + '/ui': _FRONT_END,
    # The crash reporter, in every installer process and as a process of its
    # own: below the installer's roles, beside its front end.
    'desktop/windows/crash_reporter': _SERVICES + [
        'crypto', 'components/*', 'components/prefs', INSTALLER + '/wininet'
    ],
    INSTALLER + '/roles': _FRONT_END + [
        INSTALLER + '/steps',
        INSTALLER + '/engine',
        INSTALLER + '/ui',
        'desktop/windows/crash_reporter',
    ],
    # Programs of the benchmarks and what they time: the installer's
    # downloader and Archive7z.
    'bench': _BASE + [INSTALLER + '/wininet', INSTALLER + '/package_fetcher'],
}

# What the tests of a layer may include beyond it: the layer that drives
# theirs (the steps run through the engine).
TEST_LAYERS = {
    INSTALLER + '/steps': [INSTALLER + '/engine'],
}

# What tests share: testing/ and every folder named "test". Their files may
# include any folder of the project.
TEST_SUPPORT_ROOT = 'testing/**'
TEST_SUPPORT_FOLDER_NAME = 'test'

# Every test runs on the platform layer, whatever layer it tests.
TEST_BASE = 'base/**'


INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def matches(pattern, folder):
    """How specifically the layer key or pattern |pattern| covers |folder|:
    a false value when it does not; else more named components win, and a
    key without "**" wins a tie."""
    folder_parts = folder.split('/')
    if pattern.endswith('/**'):
        root_parts = pattern[:-3].split('/')
        if folder_parts[:len(root_parts)] != root_parts:
            return ()
        return (len(root_parts), 0)
    pattern_parts = pattern.split('/')
    if len(pattern_parts) != len(folder_parts):
        return ()
    for want, have in zip(pattern_parts, folder_parts):
        if want != '*' and want != have:
            return ()
    return (len(pattern_parts) - pattern_parts.count('*'), 1)


def best_match(patterns, folder):
    best, best_score = None, ()
    for pattern in patterns:
        score = matches(pattern, folder)
        if score > best_score:
            best, best_score = pattern, score
    return best


def is_test_support(folder):
    return (bool(matches(TEST_SUPPORT_ROOT, folder)) or
            folder.split('/')[-1] == TEST_SUPPORT_FOLDER_NAME)


def is_test_file(path):
    folder = os.path.dirname(path)
    # A fuzz target drives the code under test as a test does.
    return (path.endswith('_unittest.cc') or path.endswith('_fuzzer.cc') or
            is_test_support(folder))


def may_include(layer_key, included_folder, test):
    # The rooms of one layer use each other freely.
    if best_match(LAYERS, included_folder) == layer_key:
        return True
    allowed_keys = LAYERS[layer_key]
    if test:
        allowed_keys = allowed_keys + [TEST_BASE] + TEST_LAYERS.get(
            layer_key, [])
    for allowed in allowed_keys:
        if matches(allowed, included_folder):
            # "components/*" allows each component, "base/**" all of base.
            return True
    return False


def check_file(root, path, problems):
    folder = os.path.dirname(path)
    test = is_test_file(path)
    layer = best_match(LAYERS, folder)
    if layer is None and not is_test_support(folder):
        problems.append('%s: the folder %s has no layer in %s' %
                        (path, folder, os.path.relpath(__file__, root)))
        return
    with open(os.path.join(root, path), encoding='utf-8') as source:
        text = source.read()
    for match in INCLUDE.finditer(text):
        included = match.group(1)
        line = text.count('\n', 0, match.start()) + 1
        top = included.split('/')[0]
        if top in ('gtest', 'gmock'):
            if not test:
                problems.append('%s:%d: product code includes %s' %
                                (path, line, included))
            continue
        if top not in PROJECT_FOLDERS or '/' not in included:
            continue
        included_folder = os.path.dirname(included)
        if included_folder == folder:
            continue
        if is_test_support(included_folder):
            if not test:
                problems.append('%s:%d: product code includes the test '
                                'support %s' % (path, line, included))
            continue
        if test and is_test_support(folder):
            continue
        if layer is None or not may_include(layer, included_folder, test):
            problems.append('%s:%d: %s may not include %s (layer %s)' %
                            (path, line, folder, included, layer))


def find_sources(root):
    for top in PROJECT_FOLDERS:
        for folder, subfolders, files in os.walk(os.path.join(root, top)):
            subfolders.sort()
            for name in sorted(files):
                if name.endswith(('.cc', '.h', '.c')):
                    yield os.path.relpath(os.path.join(folder, name),
                                          root).replace(os.sep, '/')


def check(root):
    problems = []
    for path in find_sources(root):
        check_file(root, path, problems)
    return problems


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..')
    problems = check(os.path.abspath(root))
    for problem in problems:
        print(problem)
    if problems:
        print('%d include(s) break the layers; see tools/check_includes.py' %
              len(problems))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
