#!/usr/bin/env python3
"""Tests of check_includes.py on small source trees of their own."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_includes  # noqa: E402

INSTALLER = check_includes.INSTALLER


class CheckIncludesTest(unittest.TestCase):

    def setUp(self):
        self._temp = tempfile.TemporaryDirectory()
        self.root = self._temp.name

    def tearDown(self):
        self._temp.cleanup()

    def write(self, path, *includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, 'w', encoding='utf-8') as source:
            for include in includes:
                source.write('#include "%s"\n' % include)

    def problems(self):
        return check_includes.check(self.root)

    def test_layers_may_use_what_lies_below_them(self):
        self.write('base/files/file_path.h', 'base/logging.h')
        self.write('base/logging.h', 'base/strings/string16.h')
        self.write(INSTALLER + '/settings.cc',
                   INSTALLER + '/product/branding_config.h',
                   INSTALLER + '/service/utils.h', 'base/files/file_path.h',
                   'windows.h')
        self.write(INSTALLER + '/roles/installer_main.cc',
                   INSTALLER + '/engine/installer.h',
                   INSTALLER + '/settings.h')
        self.write('components/zip/zip_writer.cc',
                   'components/compression/gzip_stream.h')
        self.assertEqual([], self.problems())

    def test_an_upward_include_fails(self):
        self.write(INSTALLER + '/settings.cc', INSTALLER + '/engine/installer.h')
        self.write(INSTALLER + '/product/version_info.cc',
                   INSTALLER + '/settings.h')
        self.write('base/features/feature_registry.cc',
                   INSTALLER + '/product/installer_switches.h')
        self.write(INSTALLER + '/ui/installer_window.cc',
                   INSTALLER + '/engine/installer.h')
        self.write('components/sevenzip/archive.cc', 'base/logging.h')
        problems = self.problems()
        self.assertEqual(5, len(problems), problems)
        for path in ('settings.cc', 'version_info.cc', 'feature_registry.cc',
                     'installer_window.cc', 'archive.cc'):
            self.assertEqual(1, sum(path + ':1:' in p for p in problems),
                             (path, problems))

    def test_tests_and_test_support(self):
        self.write(INSTALLER + '/steps/install_steps_unittest.cc',
                   'gtest/gtest.h', INSTALLER + '/test/steps_test.h',
                   INSTALLER + '/engine/installer.h')
        self.write(INSTALLER + '/test/steps_test.h',
                   INSTALLER + '/engine/installer.h', 'gtest/gtest.h')
        self.write('components/sevenzip/archive_unittest.cc',
                   'base/files/file_util.h', 'testing/servers/server.h')
        self.write('desktop/windows/crash_reporter/test/crasher_main.cc',
                   INSTALLER + '/roles/installer_main.h')
        self.write('components/sevenzip/fuzz/archive_fuzzer.cc',
                   'components/sevenzip/test/memory_look_stream.h')
        self.assertEqual([], self.problems())

        self.write(INSTALLER + '/steps/install_steps.cc',
                   INSTALLER + '/engine/installer.h')
        self.write(INSTALLER + '/settings.cc', 'gtest/gtest.h')
        self.write(INSTALLER + '/status.cc', INSTALLER + '/test/test_util.h')
        self.write('components/sevenzip/fuzz/seeds.cc',
                   'components/sevenzip/test/memory_look_stream.h')
        problems = self.problems()
        self.assertEqual(4, len(problems), problems)

    def test_a_folder_without_a_layer_fails(self):
        self.write(INSTALLER + '/newroom/thing.cc', 'base/logging.h')
        self.write('desktop/elsewhere/thing.h')
        problems = self.problems()
        self.assertEqual(2, len(problems), problems)
        self.assertTrue(all('has no layer' in p for p in problems), problems)


if __name__ == '__main__':
    unittest.main()
