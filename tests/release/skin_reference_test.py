"""The generated parts of docs/skin-authoring.md match the sources they are
read from (the pages' control list, the toolkit's elements and attributes),
and the reader notices a change in those sources."""

import os
import subprocess
import sys
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOL = os.path.join(ROOT, "tools", "skin", "skin_reference.py")
sys.path.insert(0, os.path.dirname(TOOL))
import skin_reference  # noqa: E402


class SkinReferenceTest(unittest.TestCase):
    def test_guide_matches_the_sources(self):
        result = subprocess.run([sys.executable, TOOL, "--check"], capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_sections_hold_what_the_sources_say(self):
        controls = skin_reference.controls_section()
        # A page's control, a dialog's control, and the page it sits on.
        self.assertIn("| `btn_Install` | Button | 0 home and options | home_page, normal_page |", controls)
        self.assertIn("| `lb_TipsText` | Label | any | message_dialog |", controls)
        elements = skin_reference.elements_section()
        self.assertRegex(elements, r"\| `TabLayout` \|[^\n]*`inset`[^\n]*`selectedid`")  # inherited and own
        self.assertRegex(elements, r"\| `Slider` \|[^\n]*`thumbimage`[^\n]*`value`")  # own and inherited
        self.assertIn("`textcolor`", elements.split("\n")[0])  # common attributes come from the style table
        self.assertIn("`roundcorner`", skin_reference.window_section())

    def test_a_stale_guide_is_reported(self):
        with open(os.path.join(ROOT, "docs", "skin-authoring.md"), encoding="utf-8") as f:
            doc = f.read()
        stale = doc.replace("| `btn_Install` | Button |", "| `btn_Install` | Label |")
        self.assertNotEqual(skin_reference.render(stale), stale)
        self.assertEqual(skin_reference.render(doc), doc)


if __name__ == "__main__":
    unittest.main()
