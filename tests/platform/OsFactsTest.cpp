#include "platform/OsFacts.h"

#include <gtest/gtest.h>

TEST(OsFacts, PrettyNameFromOsRelease) {
    EXPECT_EQ(OsReleasePrettyName(
                  "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(OsReleasePrettyName("PRETTY_NAME=Plain\n"), "Plain");
    EXPECT_EQ(OsReleasePrettyName("PRETTY_NAME='Single quoted'"), "Single quoted");
    EXPECT_EQ(OsReleasePrettyName("PRETTY_NAME=\"Say \\\"hi\\\"\""), "Say \"hi\"");
    EXPECT_EQ(OsReleasePrettyName("NAME=Foo\n# PRETTY_NAME=\"no\"\n"), "");
    EXPECT_EQ(OsReleasePrettyName(""), "");
}

TEST(OsFacts, SystemFactsNameTheKernel) {
    EXPECT_EQ(SystemOsFacts().KernelName(), "Linux");
    EXPECT_FALSE(SystemOsFacts().KernelRelease().isEmpty());
}
