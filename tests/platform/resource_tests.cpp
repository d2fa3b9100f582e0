// The resource registry: what the embedding step registers is found again by name and type.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/resource.h"

namespace {

const unsigned char kForm[] = {'T', 'P', 'F', '0', 1, 2, 3};
const unsigned char kIcon[] = {0, 0, 1, 0};
const unsigned char kOther[] = {9, 9};

std::string Contents(const char* name, const char* type) {
    const HRSRC resource = FindResourceA(nullptr, name, type);
    if (resource == nullptr) return "(none)";
    const HGLOBAL handle = LoadResource(nullptr, resource);
    const void* data = LockResource(handle);
    if (data == nullptr) return "(no data)";
    return std::string(static_cast<const char*>(data), SizeofResource(nullptr, resource));
}

std::string Of(const unsigned char* bytes, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

TEST(Resources, RegisteredDataIsFoundByNameAndType) {
    RegisterResource("TEST_FORM", RT_RCDATA, kForm, sizeof kForm);
    RegisterResource("TEST_ICON", RT_GROUP_ICON, kIcon, sizeof kIcon);
    RegisterResource("TEST_FORM", "CUSTOM", kOther, sizeof kOther);
    RegisterResource(MAKEINTRESOURCEA(101), RT_RCDATA, kIcon, sizeof kIcon);

    const HRSRC form = FindResourceA(nullptr, "TEST_FORM", RT_RCDATA);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, form), sizeof kForm);
    EXPECT_EQ(LockResource(LoadResource(nullptr, form)), static_cast<const void*>(kForm));

    struct Case {
        const char* name;
        const char* type;
        std::string expected;
    };
    const Case cases[] = {
        {"TEST_FORM", RT_RCDATA, Of(kForm, sizeof kForm)},
        {"test_form", RT_RCDATA, Of(kForm, sizeof kForm)}, // names compare without regard to case
        {"TEST_FORM", "custom", Of(kOther, sizeof kOther)},
        {"TEST_ICON", RT_GROUP_ICON, Of(kIcon, sizeof kIcon)},
        {MAKEINTRESOURCEA(101), RT_RCDATA, Of(kIcon, sizeof kIcon)},
        {"TEST_ICON", RT_RCDATA, "(none)"}, // right name, wrong type
        {"TEST_FORM", RT_ICON, "(none)"},
        {"101", RT_RCDATA, "(none)"}, // an integer identifier is not its digits as a string
        {"NO_SUCH_NAME", RT_RCDATA, "(none)"},
        {"TEST_FORM", "RCDATA", "(none)"}, // the string type is not the integer one
    };
    for (const Case& c : cases)
        EXPECT_EQ(Contents(c.name, c.type), c.expected)
            << (IS_INTRESOURCE(c.name) ? std::string("#") : std::string(c.name));
}

TEST(Resources, SecondRegistrationReplacesTheFirst) {
    RegisterResource("TEST_REPLACED", RT_RCDATA, kForm, sizeof kForm);
    const HRSRC before = FindResourceA(nullptr, "TEST_REPLACED", RT_RCDATA);
    RegisterResource("Test_Replaced", RT_RCDATA, kOther, sizeof kOther);
    EXPECT_EQ(Contents("TEST_REPLACED", RT_RCDATA), Of(kOther, sizeof kOther));
    EXPECT_EQ(FindResourceA(nullptr, "TEST_REPLACED", RT_RCDATA), before); // handles stay valid
}

TEST(Resources, NullArgumentsGiveNullAnswers) {
    RegisterResource("TEST_NULLS", RT_RCDATA, kForm, sizeof kForm);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "TEST_NULLS", nullptr), nullptr);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

} // namespace
