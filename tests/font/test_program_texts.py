"""The characters of the program's texts, as the font cut gathers them, and the cut itself: every literal
form of C++ and every text of a layout is found, comments and markup are not, and a character the font has
no glyph for stops the cut with its place named.

Usage: test_program_texts.py TOOLS_FONTSUBSET_DIR SOURCE_FONT"""

import contextlib
import io
import os
import sys
import tempfile
import unittest

TOOLS = FONT = None


class CppLiterals(unittest.TestCase):
    def test_every_literal_form_and_nothing_else(self):
        source = r'''// "注释里的引号" is not a text
/* nor "块注释"
   over "两行" */
#include "f_Main.h"
const char* A = "下载失败dsFail： ";
auto B = QStringLiteral("请选择保存路径。");
auto C = u8"电信" u"联通" U"完成" L"宽";
auto D = R"(原始 "引号" \n 不转义)";
auto E = R"x(带)分隔符"的)x";
auto F = "转义\"引号\\与\u4E2D\t制表";
char G = '"'; char H = '\''; int I = 1'000'000;
auto J = R"(跨
行)";
auto K = "\xE4\xB8\xAD八进制\101";
'''
        texts = program_texts.cpp_literals(source, "f.cpp")
        self.assertEqual([t.value for t in texts], [
            "f_Main.h", "下载失败dsFail： ", "请选择保存路径。", "电信", "联通", "完成", "宽",
            '原始 "引号" \\n 不转义', '带)分隔符"的', '转义"引号\\与中\t制表', "跨\n行", "八进制"])
        self.assertEqual(texts[1].origin, "f.cpp:5")
        self.assertEqual(texts[10].origin, "f.cpp:12")
        chars = program_texts.characters(texts)
        for absent in "注释块两":
            self.assertNotIn(absent, chars)
        self.assertIn("中", chars)
        self.assertNotIn("\t", chars)
        self.assertNotIn("\n", chars)
        for c in "09%()<>":
            self.assertIn(c, chars, "printable ASCII is always covered")

    def test_an_unterminated_literal_is_refused(self):
        with self.assertRaises(ValueError):
            program_texts.cpp_literals('auto a = "没有结束;\n', "bad.cpp")


class LayoutTexts(unittest.TestCase):
    def test_every_string_element_and_no_markup(self):
        layout = """<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>标识</class>
 <widget class="QWidget" name="Tfrm_Main">
  <!-- 注释 -->
  <property name="windowTitle"><string>窗口标题</string></property>
  <widget class="QLabel" name="labBack">
   <property name="text"><string>&lt;&lt;返回</string></property>
   <property name="toolTip"><string notr="true">提示文字</string></property>
  </widget>
 </widget>
</ui>"""
        texts = program_texts.ui_texts(layout, "f_Main.ui")
        self.assertEqual([t.value for t in texts], ["窗口标题", "<<返回", "提示文字"])
        self.assertEqual(texts[1].origin, "f_Main.ui: <string> of labBack")
        chars = program_texts.characters(texts)
        for absent in "识注释":
            self.assertNotIn(absent, chars)


class Cut(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def cut(self, sources):
        paths = []
        for name, content in sources.items():
            path = os.path.join(self.dir.name, name)
            with open(path, "w", encoding="utf-8") as f:
                f.write(content)
            paths.append(path)
        output = os.path.join(self.dir.name, "out.otf")
        err = io.StringIO()
        with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
            status = subset_font.main(["--font", FONT, "--family", "Probe Text", "--output", output,
                                       "--line", "0.937", "0.236"] + paths)
        return status, output, err.getvalue()

    def test_the_subset_covers_the_texts_under_its_own_name_and_line_height(self):
        status, output, err = self.cut({"a.cpp": 'auto t = "正在下载（0%）";\n', "b.ui": "<ui><string>返回</string></ui>"})
        self.assertEqual(status, 0, err)
        font = TTFont(output)
        cmap = font.getBestCmap()
        for c in "正在下载（）%0返回" + program_texts.ASCII:
            self.assertIn(ord(c), cmap, c)
        self.assertNotIn(ord("龘"), cmap)
        self.assertLess(len(cmap), 120)
        self.assertEqual(font["name"].getDebugName(1), "Probe Text")
        self.assertEqual(font["CFF "].cff.fontNames, ["ProbeText-Regular"])
        self.assertEqual((font["hhea"].ascent, font["hhea"].descent), (937, -236))

    def test_a_character_the_font_lacks_stops_the_cut_and_is_named_with_its_place(self):
        status, output, err = self.cut({"a.cpp": '// 下载\nauto ok = "下载";\nauto odd = "私用\\uE000区";\n'})
        self.assertEqual(status, 1)
        self.assertIn("U+E000", err)
        self.assertIn("a.cpp:3", err)
        self.assertFalse(os.path.exists(output))


if __name__ == "__main__":
    TOOLS, FONT = sys.argv[1], sys.argv[2]
    sys.path.insert(0, TOOLS)
    import program_texts  # noqa: E402
    import subset_font  # noqa: E402
    from fontTools.ttLib import TTFont  # noqa: E402
    unittest.main(argv=[sys.argv[0]], verbosity=2)
