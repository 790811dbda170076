#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "platform/Environment.h"

namespace lumbrook {
namespace {

TEST(Environment, ExpandsAsWindowsDoes) {
    const VariableLookup lookup = [](std::string_view name) -> std::optional<std::string> {
        std::string n(name);
        for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (n == "A") return "a";
        if (n == "B") return "b";
        if (n == "EMPTY") return "";
        if (n == "WITH SPACE") return "ws";
        if (n == "REF") return "%A%";
        return std::nullopt;
    };
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"%A%", "a"},
        {"x%a%y%B%z", "xaybz"},
        {"%A%%B%", "ab"},
        {"%EMPTY%|", "|"},
        {"%with space%", "ws"},
        {"%REF%", "%A%"},  // a value is not expanded again
        // An unknown name keeps both its signs, and its second sign may open the next pair.
        {"%U%", "%U%"},
        {"%U%A%", "%Ua"},
        {"%U%A%B%", "%UaB%"},
        {"%A%U%B%", "aUb"},
        {"%A%B%", "aB%"},
        // Unpaired and empty pairs.
        {"100%", "100%"},
        {"%A", "%A"},
        {"%", "%"},
        {"%%", "%%"},
        {"%%A%", "%a"},
        {"%%%", "%%%"},
        {"50% of %A%", "50% of a"},
        {"%A%%U%%B%", "a%U%b"},
    };
    for (const auto& c : cases) EXPECT_EQ(expandEnvironmentStrings(c.in, lookup), c.out) << c.in;
}

TEST(Environment, ProcessEnvironmentIgnoresCase) {
    test::EnvGuard var("LumbrookTestVar", "value");
    test::EnvGuard upper("LUMBROOK_TWIN", "upper");
    test::EnvGuard lower("lumbrook_twin", "lower");
    EXPECT_EQ(getEnvironmentVariableNoCase("LUMBROOKTESTVAR"), "value");
    EXPECT_EQ(getEnvironmentVariableNoCase("lumbrook_twin"), "lower");
    EXPECT_EQ(getEnvironmentVariableNoCase("LUMBROOK_TWIN"), "upper");
    EXPECT_FALSE(getEnvironmentVariableNoCase("LumbrookTestVa"));
    EXPECT_FALSE(getEnvironmentVariableNoCase(""));
    EXPECT_FALSE(getEnvironmentVariableNoCase("LumbrookTestVar=value"));
    EXPECT_EQ(expandEnvironmentStrings("<%lumbrooktestvar%>", getEnvironmentVariableNoCase), "<value>");
}

}  // namespace
}  // namespace lumbrook
