import io
import os
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import installer_log  # noqa: E402


def line(pid, message, severity="INFO", source="x.cc(1)", stamp="1207/024843.700"):
    return "[%d:7:%s:%s:%s] %s" % (pid, stamp, severity, source, message)


def parsed(*texts):
    return [installer_log.parse_line(text) for text in texts]


class ParseAndTailTest(unittest.TestCase):
    def test_whole_lines_parse_and_cut_ones_do_not(self):
        ok = installer_log.parse_line(line(280, "Sending IPC_MESSAGE_STEP",
                                           "VERBOSE1", "installer_message.cc(185)") + "\r\n")
        self.assertEqual((280, "VERBOSE1", "installer_message.cc(185)",
                          "Sending IPC_MESSAGE_STEP"),
                         (ok.pid, ok.severity, ok.source, ok.message))
        # What is left of a line another process wrote over.
        self.assertIsNone(installer_log.parse_line(
            r"er\out\sample\package\data.pak to C:\Kelvo\data.pak"))

    def test_hands_out_whole_lines_of_new_log_files_only(self):
        with tempfile.TemporaryDirectory() as folder:
            old = os.path.join(folder, "kelvo_installer_20261207020000.log")
            with open(old, "w") as f:
                f.write(line(1, "an earlier run") + "\n")
            os.utime(old, (time.time() - 60, time.time() - 60))
            tail = installer_log.LogTail(folder, time.time() - 1)
            self.assertEqual([], tail.read())

            new = os.path.join(folder, "kelvo_installer_20261207020101.log")
            with open(os.path.join(folder, "notes.log"), "w") as f:
                f.write(line(1, "not a log of the installer") + "\n")
            with open(new, "w") as f:
                f.write(line(2, "first") + "\n" + line(2, "sec"))
            self.assertEqual(["first"], [l.message for l in tail.read()])
            with open(new, "a") as f:
                f.write("ond\n")
            self.assertEqual(["second"], [l.message for l in tail.read()])
            # The backend of the same second makes a name of its own.
            backend = os.path.join(folder,
                                   "kelvo_installer_20261207020101_4321.log")
            with open(backend, "w") as f:
                f.write(line(3, "backend") + "\n")
            self.assertEqual(["backend"], [l.message for l in tail.read()])
            self.assertEqual(sorted([new, backend]), sorted(tail.paths()))


class StepProgressTest(unittest.TestCase):
    def test_a_step_is_named_by_the_backends_next_info_line(self):
        progress = installer_log.StepProgress()
        started = [progress.feed(l) for l in parsed(
            line(5, "Sending IPC_MESSAGE_TOTAL_STEPS(3)", "VERBOSE1"),
            line(5, "Sending IPC_MESSAGE_STEP", "VERBOSE1"),
            # The front end's lines and verbose details name no step.
            line(4, "IPC_MESSAGE_STEP received"),
            line(5, "Attempting to create folder C:\\K", "VERBOSE1"),
            line(5, "Copying file kelvo.exe"),
            line(5, "Copying Z:\\p\\kelvo.exe to C:\\K\\kelvo.exe"),
            line(5, "Sending IPC_MESSAGE_STEP", "VERBOSE1"),
            line(5, "Installation succeeded"))]
        self.assertEqual([False, False, False, False, True, False, False, True],
                         started)
        self.assertEqual((3, 2, "Installation succeeded", "Installation succeeded"),
                         (progress.total, progress.done, progress.description,
                          progress.outcome))

    def test_view_gives_a_stretch_a_line_or_follows_on_a_terminal(self):
        progress = installer_log.StepProgress()
        progress.total = 200
        plain = io.StringIO()
        terminal = io.StringIO()
        views = [installer_log.ProgressView(plain, False, 40),
                 installer_log.ProgressView(terminal, True, 40)]
        for done, description in [(1, "Copying file a"), (2, "Copying file b"),
                                   (3, "Setting up the registry with a long text")]:
            progress.done, progress.description = done, description
            for view in views:
                view.step(progress)
        for view in views:
            view.finish()
        self.assertEqual(
            ["    [  0%] step 1/200  Copying file a",
             "    [  1%] step 3/200  Setting up th..."],
            plain.getvalue().splitlines())
        self.assertEqual(3, terminal.getvalue().count("\r\033[K"))
        self.assertTrue(terminal.getvalue().endswith("...\n"))


class ExplainTest(unittest.TestCase):
    def test_causes_group_their_lines_and_unknown_lines_stand_out(self):
        entries = installer_log.explain(parsed(
            line(4, "Cannot open process 0: Invalid parameter. (0x57)", "WARNING"),
            line(5, "Could not list the scheduled tasks: Not implemented.", "WARNING"),
            line(5, "Failed task registration: -2147467263", "ERROR"),
            line(5, "Could not create scheduled task", "ERROR"),
            line(5, "Something new went wrong", "ERROR"),
            line(5, "Installation succeeded")))
        self.assertEqual(
            [("no parent process", 1), ("no autoupdate task", 3),
             ("Something new went wrong", 1)],
            [(cause.label if cause else first.message, count)
             for cause, first, count in entries])
        self.assertIsNone(entries[2][0])

    def test_a_sharing_violation_is_expected_only_for_the_installers_files(self):
        def run(deleted):
            return installer_log.explain(parsed(
                line(5, "Attempt to open the file for writing failed: "
                        "Sharing violation. (0x20)", "ERROR"),
                line(6, "Could not delete C:\\K\\1\\other.exe", "WARNING"),
                line(5, "File removal failed", "ERROR"),
                line(5, "Could not delete C:\\K\\1\\" + deleted, "WARNING")))
        ok = run("installer.dll")
        self.assertEqual("installer files in use", ok[0][0].label)
        self.assertEqual(3, ok[0][2])
        self.assertIsNone(ok[1][0])  # the other process's file
        self.assertTrue(all(cause is None for cause, _, _ in run("kelvo.exe")))

    def test_last_errors_and_install_folder(self):
        lines = parsed(
            line(1, "Install folder set: C:\\A"),
            line(1, "Path is a root folder that's not valid"),
            line(1, "Cannot open drive Z:", "VERBOSE1"),
            line(1, "Cannot open process 0: Invalid parameter.", "WARNING"),
            line(1, "Install folder set: C:\\B"),
            line(1, "Invalid install folder"),
            line(1, "Attempting to start installation with invalid settings",
                 "ERROR"))
        self.assertEqual(
            ["Path is a root folder that's not valid", "Invalid install folder",
             "Attempting to start installation with invalid settings"],
            [l.message for l in installer_log.last_errors(lines, 5)])
        self.assertEqual(1, len(installer_log.last_errors(lines, 1)))
        self.assertEqual("C:\\B", installer_log.install_folder(lines))
        self.assertEqual("", installer_log.install_folder(lines[1:4]))


class FetchTest(unittest.TestCase):
    def test_the_fetchers_lines_and_the_downloads_it_asked_for(self):
        lines = parsed(
            line(5, "Starting the package fetcher", source="package_fetcher_core.cc(82)"),
            line(5, "Starting download from http://127.0.0.1:1/a", source="wininet.cc(230)"),
            line(5, "Initial request completion", source="wininet.cc(474)"),
            line(5, "Downloaded item version: 2531.0", "VERBOSE1",
                 "downloaded_version_check.cc(46)"),
            line(5, "Writing payload to file C:\\x.7z", source="payload_reader.cc(142)"),
            line(5, "Reading Payload", source="payload_reader.cc(56)"),
            line(6, "Copying file kelvo.exe", source="install_steps.cc(81)"))
        self.assertEqual(
            ["Starting the package fetcher", "Starting download from http://127.0.0.1:1/a",
             "Downloaded item version: 2531.0", "Writing payload to file C:\\x.7z"],
            [l.message for l in installer_log.fetch_lines(lines)])


class FollowTest(unittest.TestCase):
    # The command plays an installer: it writes its log over a while.
    WRITER = """
import sys, time
path = sys.argv[1]
with open(path, "w") as f:
    f.write(%r + "\\n")
    f.flush()
    time.sleep(0.3)
    f.write(%r + "\\n" + %r + "\\n")
time.sleep(float(sys.argv[2]))
sys.exit(3)
""" % (line(5, "Sending IPC_MESSAGE_TOTAL_STEPS(1)", "VERBOSE1"),
       line(5, "Sending IPC_MESSAGE_STEP", "VERBOSE1"), line(5, "Copying file a"))

    def follow(self, folder, linger, timeout):
        logs = os.path.join(folder, "logs.txt")
        args = installer_log.argparse.Namespace(
            log_dir=folder, logs=logs, output=os.devnull, timeout=timeout,
            command=[sys.executable, "-c", self.WRITER,
                     os.path.join(folder, "kelvo_installer_20261207020101.log"),
                     str(linger)])
        out = io.StringIO()
        saved, sys.stdout = sys.stdout, out
        try:
            code = installer_log.follow(args)
        finally:
            sys.stdout = saved
        with open(logs) as f:
            return code, out.getvalue(), f.read().splitlines()

    def test_shows_the_steps_and_passes_the_exit_code_on(self):
        with tempfile.TemporaryDirectory() as folder:
            code, shown, logs = self.follow(folder, 0, 30)
            self.assertEqual(3, code)
            self.assertIn("step 1/1  Copying file a", shown)
            self.assertEqual(1, len(logs))

    def test_stops_a_run_that_does_not_end(self):
        with tempfile.TemporaryDirectory() as folder:
            started = time.time()
            code, shown, _ = self.follow(folder, 60, 1)
            self.assertEqual(124, code)
            self.assertIn("no end after 1 s", shown)
            self.assertLess(time.time() - started, 30)


if __name__ == "__main__":
    unittest.main()
