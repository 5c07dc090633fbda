// Browser key codes to virtual-key codes: the demo's keys, the families that map by rule
// (letters, digits, F1..F12) with their near misses, and keys without a code.
#include "springdrop/shell/web/dom_keys.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

TEST(DomKeys, TheDemosKeysMapToTheirVirtualKeyCodes) {
    EXPECT_EQ(platform::VirtualKeyFromDomCode("KeyW"), 0x57u);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("KeyA"), 0x41u);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("KeyS"), 0x53u);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("KeyD"), 0x44u);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("F1"), VK_F1);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("Escape"), VK_ESCAPE);
}

TEST(DomKeys, LettersDigitsAndFunctionKeysMapByRuleAndNearMissesDoNot) {
    const std::pair<std::string_view, UINT> cases[] = {
        {"KeyZ", 'Z'},     {"Digit0", '0'},  {"Digit9", '9'},  {"F12", VK_F1 + 11}, {"F10", VK_F1 + 9},
        {"F13", 0},        {"F0", 0},        {"F", 0},         {"F1x", 0},          {"Fx1", 0},
        {"Key", 0},        {"Keyw", 0},      {"KeyWW", 0},     {"Digit", 0},        {"DigitA", 0},
        {"", 0},           {"Semicolon", 0}, {"Numpad5", 0},   {"escape", 0},
    };
    for (const auto& [code, expected] : cases) EXPECT_EQ(platform::VirtualKeyFromDomCode(code), expected) << code;
}

TEST(DomKeys, NamedKeysMapBothSidesToOneCode) {
    EXPECT_EQ(platform::VirtualKeyFromDomCode("ArrowLeft"), VK_LEFT);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("ArrowDown"), VK_DOWN);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("Enter"), VK_RETURN);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("NumpadEnter"), VK_RETURN);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("ShiftLeft"), VK_SHIFT);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("ShiftRight"), VK_SHIFT);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("ControlRight"), VK_CONTROL);
    EXPECT_EQ(platform::VirtualKeyFromDomCode("AltLeft"), VK_MENU);
}
