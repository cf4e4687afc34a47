// Reading the plain dialog template (DLGTEMPLATE, then DLGITEMTEMPLATE per
// control, each aligned to 4 bytes from the template's start) and checking
// the settings dialog field by field.
#include "tests/module/config_template.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Window and control styles, spelled out so that the Linux build of this
// file needs no Windows header.
constexpr uint32_t kPopup = 0x80000000u, kChild = 0x40000000u, kVisible = 0x10000000u;
constexpr uint32_t kCaption = 0x00C00000u, kBorder = 0x00800000u, kSysMenu = 0x00080000u, kTabStop = 0x00010000u;
constexpr uint32_t kModalFrame = 0x80u, kSetFont = 0x40u, k3DLook = 0x04u;
constexpr uint32_t kPushButton = 0x0u, kAutoCheckBox = 0x3u, kCentre = 0x300u, kStaticLeft = 0x0u, kEditLeft = 0x0u;
constexpr uint16_t kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082;

struct Reader {
    const uint8_t* bytes;
    size_t size;
    size_t at;
    bool ok;

    uint16_t Word() {
        if (at + 2 > size) {
            ok = false;
            return 0;
        }
        const uint16_t value = static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
        at += 2;
        return value;
    }
    uint32_t Dword() {
        const uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    std::u16string Text() {
        std::u16string text;
        for (uint16_t c = Word(); ok && c != 0; c = Word()) text.push_back(static_cast<char16_t>(c));
        return text;
    }
    // A name or an ordinal: 0 alone is none, 0xFFFF then the ordinal.
    void NameOrOrdinal(bool* present, uint16_t* ordinal, std::u16string* name) {
        const size_t start = at;
        const uint16_t first = Word();
        *present = first != 0;
        *ordinal = 0;
        if (first == 0xFFFF) {
            *ordinal = Word();
        } else if (first != 0) {
            at = start;
            *name = Text();
        }
    }
    void AlignTo4() { at = (at + 3) & ~static_cast<size_t>(3); }
};

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        const unsigned u = c;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | u >> 6);
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | u >> 12);
            out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

struct ExpectedItem {
    uint16_t id;
    uint16_t classAtom;
    const char16_t* text;
    int16_t x, y, cx, cy;
    uint32_t style;
};

}  // namespace

bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplateData* out, std::string* error) {
    Reader in{bytes, size, 0, true};
    if (size >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF) {
        *error = "an extended template (DLGTEMPLATEEX)";
        return false;
    }
    out->style = in.Dword();
    out->exStyle = in.Dword();
    out->itemCount = in.Word();
    out->x = static_cast<int16_t>(in.Word());
    out->y = static_cast<int16_t>(in.Word());
    out->cx = static_cast<int16_t>(in.Word());
    out->cy = static_cast<int16_t>(in.Word());
    uint16_t ordinal;
    std::u16string name;
    in.NameOrOrdinal(&out->hasMenu, &ordinal, &name);
    bool hasClass;
    in.NameOrOrdinal(&hasClass, &ordinal, &name);
    out->defaultClass = !hasClass;
    out->caption = in.Text();
    out->pointSize = 0;
    if (out->style & kSetFont) {
        out->pointSize = in.Word();
        out->face = in.Text();
    }
    out->items.clear();
    for (uint16_t i = 0; in.ok && i < out->itemCount; ++i) {
        in.AlignTo4();
        DialogItemData item;
        item.style = in.Dword();
        item.exStyle = in.Dword();
        item.x = static_cast<int16_t>(in.Word());
        item.y = static_cast<int16_t>(in.Word());
        item.cx = static_cast<int16_t>(in.Word());
        item.cy = static_cast<int16_t>(in.Word());
        item.id = in.Word();
        bool present;
        in.NameOrOrdinal(&present, &item.classAtom, &item.className);
        uint16_t textOrdinal;
        in.NameOrOrdinal(&present, &textOrdinal, &item.text);
        item.creationDataBytes = in.Word();
        in.at += item.creationDataBytes;
        out->items.push_back(item);
    }
    if (!in.ok || in.at > size) {
        *error = "the template ends early";
        return false;
    }
    return true;
}

void ExpectConfigTemplate(const uint8_t* bytes, size_t size) {
    DialogTemplateData dialog;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(bytes, size, &dialog, &error)) << error;

    EXPECT_EQ(dialog.style, kPopup | kVisible | kCaption | kSysMenu | kModalFrame | kSetFont | k3DLook);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 128);
    EXPECT_EQ(dialog.cy, 128);
    EXPECT_FALSE(dialog.hasMenu);
    EXPECT_TRUE(dialog.defaultClass);
    EXPECT_EQ(Utf8(dialog.caption), Utf8(u"Rozoveの設定"));
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(Utf8(dialog.face), Utf8(u"ＭＳ Ｐゴシック"));

    const uint32_t base = kChild | kVisible;
    const ExpectedItem expected[] = {
        {1, kButtonAtom, u"OK", 8, 80, 52, 16, base | kPushButton | kCentre | kTabStop},
        {2, kButtonAtom, u"ｷｬﾝｾﾙ", 68, 80, 52, 16, base | kPushButton | kCentre | kTabStop},
        {0xFFFF, kStaticAtom, u"繰り返し回数", 8, 8, 76, 8, base | kStaticLeft},
        {0xFFFF, kStaticAtom, u"(0 を指定すると無限ループ)", 8, 20, 112, 8, base | kStaticLeft},
        {100, kEditAtom, u"", 68, 32, 52, 16, base | kBorder | kTabStop | kEditLeft},
        {101, kButtonAtom, u"右半分を透過情報として扱う", 8, 56, 112, 16, base | kAutoCheckBox},
    };
    ASSERT_EQ(dialog.itemCount, 6);
    ASSERT_EQ(dialog.items.size(), 6u);
    static const char16_t* const kClassNames[] = {u"BUTTON", u"EDIT", u"STATIC"};
    for (size_t i = 0; i < 6; ++i) {
        const DialogItemData& item = dialog.items[i];
        const ExpectedItem& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.id, want.id);
        if (item.classAtom != 0) {
            EXPECT_EQ(item.classAtom, want.classAtom);
        } else {
            // By name: the predefined class of that atom, in any case.
            std::u16string upper = item.className;
            for (char16_t& c : upper) {
                if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
            }
            EXPECT_EQ(Utf8(upper), Utf8(kClassNames[want.classAtom - kButtonAtom]));
        }
        EXPECT_EQ(Utf8(item.text), Utf8(want.text));
        EXPECT_EQ(item.creationDataBytes, 0);
    }
}

void ExpectManifest(const uint8_t* bytes, size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    const size_t element = text.find("<requestedExecutionLevel");
    ASSERT_NE(element, std::string::npos) << text;
    const size_t end = text.find('>', element);
    ASSERT_NE(end, std::string::npos);
    const std::string attributes = text.substr(element, end - element);
    EXPECT_NE(attributes.find("level=\"asInvoker\""), std::string::npos) << attributes;
    EXPECT_NE(attributes.find("uiAccess=\"false\""), std::string::npos) << attributes;
    EXPECT_NE(text.find("urn:schemas-microsoft-com:asm.v1"), std::string::npos);
}
