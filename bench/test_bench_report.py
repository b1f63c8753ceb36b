"""Tests of bench_report: targets at their edges, finding the Qt dialog
module in a build tree, reading the CMake cache, the markdown table.

    python3 -m unittest discover -s bench -p 'test_*.py'
"""

import os
import tempfile
import unittest

import bench_report as br


def measurements(version_wall=(1.2e-3, 1e-3), crc=(2.0, 4.0)):
    return {
        "version": {"check_s": version_wall[0], "openssh_s": version_wall[1], "check_rss_mib": 7.3,
                    "openssh_rss_mib": 7.0},
        "latency_20000": {"lines": 20000, "check_s": 0.05, "openssh_s": 0.1, "check_cpu_s": 0.03,
                          "openssh_cpu_s": 0.02, "check_rss_mib": 12.0, "openssh_rss_mib": 8.0},
        "many": {"switches": 20, "checks": 200, "parallel": 20, "runs": 5, "check_total_s": 1.5,
                 "openssh_total_s": 2.0, "failed": 1, "check_maxrss_mib": 10.0, "openssh_maxrss_mib": 8.0},
        "crc": {"crc32update_ms": crc[0], "zlib_ms": crc[1]},
    }


class TargetsTest(unittest.TestCase):
    def test_ratio_at_the_limit_is_met_and_just_above_is_not(self):
        by_key = lambda res: {f.key: f for f in br.figures(res)}
        self.assertTrue(by_key(measurements(version_wall=(1.2e-3, 1e-3)))["version_wall"].met)
        self.assertFalse(by_key(measurements(version_wall=(1.2011e-3, 1e-3)))["version_wall"].met)
        self.assertFalse(br.Figure("k", "n", "", "", br.ratio_at_most(1.0)).met)  # no ratio, no claim

    def test_ratios_are_comvorlix_over_baseline_for_every_figure(self):
        f = {f.key: f for f in br.figures(measurements(crc=(2.0, 4.0)))}
        self.assertAlmostEqual(f["crc_cpu"].ratio, 0.5)
        self.assertTrue(f["crc_cpu"].met)
        self.assertAlmostEqual(f["check_20000_wall"].ratio, 0.5)
        self.assertFalse(f["check_20000_cpu"].met)  # 1.5x against <= 1.0x
        self.assertTrue(f["check_20000_rss"].met)  # 12 / 8 is exactly the 1.5x allowed
        self.assertFalse(f["many_total"].met)  # one failed check of 1 000

    def test_parts_not_run_give_no_rows_and_a_strict_bound_excludes_its_value(self):
        self.assertEqual([f.key for f in br.figures({"crc": {"crc32update_ms": 1.0, "zlib_ms": 1.0}})], ["crc_cpu"])
        idle = {"idle": {"think_ms": 3000, "check_cpu_pct": 3.0, "openssh_cpu_pct": 0.0}}
        [row] = br.figures(idle)
        self.assertIsNone(row.ratio)
        self.assertFalse(row.met)

    def test_memory_limit_grows_with_the_listing_and_is_met_at_its_edge(self):
        listed = 8 << 20
        limit = 16 + 2 * listed / 2**20  # 32 MiB
        r = {"listing_bytes": listed, "limit_mib": limit, "first_rss_mib": 32.0, "unchanged_rss_mib": 20.0,
             "change_rss_mib": 32.01, "accept_rss_mib": 31.0}
        f = {f.key: f for f in br.figures({"memory": {"8": r}})}
        self.assertEqual(sorted(f), ["memory_8_accept", "memory_8_change", "memory_8_first", "memory_8_unchanged"])
        self.assertTrue(f["memory_8_first"].met)
        self.assertFalse(f["memory_8_change"].met)


class BuildTreeTest(unittest.TestCase):
    def test_finds_dialog_modules_but_not_objects_or_generated_files(self):
        with tempfile.TemporaryDirectory() as build:
            for rel in ("src/dialog_qt/libcomvorlix_dialog_qt.so", "plugins/libComvorlix_Dialog_Qt6.so.3",
                        "src/libcomvorlix.so", "src/dialog_qt/CMakeFiles/x.dir/dialog_qt.so.o_not",
                        "src/comvorlix_dialog_qt_autogen/libdialog_qt.so", "src/dialog_qt/dialog_qt.cpp"):
                os.makedirs(os.path.join(build, os.path.dirname(rel)), exist_ok=True)
                open(os.path.join(build, rel), "w").close()
            self.assertEqual(br.find_qt_dialog_modules(build),
                             ["plugins/libComvorlix_Dialog_Qt6.so.3", "src/dialog_qt/libcomvorlix_dialog_qt.so"])

    def test_qt_dialog_state_prefers_a_module_over_linked_libraries(self):
        self.assertEqual(br.qt_dialog_state(["m.so"], ["libQt6Core.so.6"]), "module")
        self.assertEqual(br.qt_dialog_state([], ["libQt6Core.so.6"]), "linked")
        self.assertEqual(br.qt_dialog_state([], []), "not built")

    def test_cmake_cache_values_keep_equals_signs_and_skip_comments(self):
        with tempfile.TemporaryDirectory() as build:
            with open(os.path.join(build, "CMakeCache.txt"), "w") as f:
                f.write("# comment=x:y\n// CMAKE_BUILD_TYPE:STRING=Debug\nCMAKE_BUILD_TYPE:STRING=Release\n"
                        "CMAKE_CXX_FLAGS:STRING=-DA=1\nCOMVORLIX_QT:BOOL=ON\n\n")
            cache = br.read_cmake_cache(build)
        self.assertEqual(cache["CMAKE_BUILD_TYPE"], "Release")
        self.assertEqual(cache["CMAKE_CXX_FLAGS"], "-DA=1")
        self.assertEqual(br.read_cmake_cache("/nonexistent"), {})


class MarkdownTest(unittest.TestCase):
    def test_every_row_has_the_header_columns_and_pipes_are_escaped(self):
        rows = br.figures(measurements()) + [br.Figure("x", "a | b", "1", "2", br.ratio_at_most(1.0), 0.5)]
        build = {"build_type": "Release", "qt_dialog": "module", "qt_dialog_modules": ["m.so"],
                 "qt_libraries_at_start": [], "commit": "abc", "uncommitted_changes": True,
                 "comvorlix_bytes": 2**20, "comvorlix_built": "t"}
        machine = {"date": "d", "cores": 2, "cpu": "c", "load": "1 1 1"}
        text = br.markdown_table(rows, build, machine, 7)
        table = [l for l in text.splitlines() if l.startswith("|")]
        self.assertEqual(len(table), 2 + len(rows))
        columns = {len(l.replace("\\|", "").split("|")) for l in table}
        self.assertEqual(columns, {len(br.HEAD) + 2})
        self.assertIn("a \\| b", text)
        self.assertIn("abc with uncommitted changes", text)


if __name__ == "__main__":
    unittest.main()
