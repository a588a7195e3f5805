#include <gtest/gtest.h>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/PriorityClass.h"
#include "engine/Privileges.h"
#include "platform/fake/FakeProcessApi.h"

using namespace kelvane;

namespace {

class RecordingHost final : public EngineHost {
public:
    void MessageBox(const QString& text, MessageKind kind) override {
        texts.append(text);
        kinds.push_back(kind);
    }
    QStringList texts;
    std::vector<MessageKind> kinds;
};

MessageStrings LoadedStrings() {
    RecordingHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    return strings;
}

} // namespace

struct ClassCase {
    int index;
    std::uint32_t code;
    const char* text;
};

class PriorityClassTest : public testing::TestWithParam<ClassCase> {};

TEST_P(PriorityClassTest, IndexCodeAndTextAgree) {
    const ClassCase& c = GetParam();
    const MessageStrings strings = LoadedStrings();
    EXPECT_EQ(PriorityClassToIndex(c.code), c.index);
    EXPECT_EQ(IndexToPriorityClass(c.index), c.code);
    EXPECT_EQ(PriorityClassText(c.code, strings), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(SixClasses, PriorityClassTest,
                         testing::Values(ClassCase{0, 64, "Low"}, ClassCase{1, 16384, "Below Normal"},
                                         ClassCase{2, 32, "Normal"}, ClassCase{3, 32768, "Above Normal"},
                                         ClassCase{4, 128, "High"}, ClassCase{5, 256, "RealTime"}));

TEST(PriorityClass, UnknownCodesAndIndexesFallBack) {
    const MessageStrings strings = LoadedStrings();
    for (const std::uint32_t code : {0U, 1U, 33U, 255U, 65536U}) {
        EXPECT_EQ(PriorityClassToIndex(code), 2) << code;
        EXPECT_EQ(PriorityClassText(code, strings), QStringLiteral("N/A")) << code;
    }
    for (const int index : {-1, 6, 100})
        EXPECT_EQ(IndexToPriorityClass(index), 32768U) << index;
}

TEST(MessageStrings, DefaultTableLoadsWithoutError) {
    RecordingHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    EXPECT_TRUE(host.texts.isEmpty());
    EXPECT_EQ(DefaultLanguageTable().size(), 33);
    EXPECT_EQ(strings[Msg::BoostError], QStringLiteral("Error: Exception while boosting foreground application."));
    EXPECT_EQ(strings[Msg::RunAlways], QStringLiteral("Run always."));
    EXPECT_EQ(strings[Msg::ErrorTerminating], QStringLiteral("Error terminating process."));
    EXPECT_EQ(strings[Msg::ShellNotFound], QStringLiteral("%s not found on default location (%s)."));
}

TEST(MessageStrings, ShortTableReportsOnceAndLeavesTheRestEmpty) {
    RecordingHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable().mid(0, 9), host);
    ASSERT_EQ(host.texts, QStringList{QStringLiteral("Fatal error while loading language strings!")});
    EXPECT_EQ(host.kinds.front(), MessageKind::Error);
    EXPECT_EQ(strings[Msg::Processes], QStringLiteral("Processes:"));
    EXPECT_TRUE(strings[Msg::Boosting].isEmpty());
    EXPECT_TRUE(strings[Msg::ErrorTerminating].isEmpty());
}

TEST(MessageStrings, OtherTextsReplaceAndExtraLinesAreIgnored) {
    QStringList table;
    for (std::size_t i = 0; i < kMessageStringCount; ++i)
        table.append(QStringLiteral("text %1").arg(i));
    table.append(QStringLiteral("extra"));
    RecordingHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(table, host);
    EXPECT_TRUE(host.texts.isEmpty());
    EXPECT_EQ(strings[Msg::High], QStringLiteral("text 1"));
    EXPECT_EQ(PriorityClassText(HIGH_PRIORITY_CLASS, strings), QStringLiteral("text 1"));
    EXPECT_EQ(PriorityClassText(0, strings), QStringLiteral("text 7"));
}

TEST(Privileges, EnablesTheKnownOnesInOrderAndSkipsTheUnknown) {
    FakeProcessApi api;
    EXPECT_TRUE(SetPrivileges(api, true));
    EXPECT_EQ(api.EnabledPrivileges(), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(api.Log(), (QStringList{QStringLiteral("AdjustPrivilege 1 1"), QStringLiteral("AdjustPrivilege 2 1"),
                                      QStringLiteral("AdjustPrivilege 3 1")}));
    SetPrivileges(api, false);
    EXPECT_TRUE(api.EnabledPrivileges().empty());
}

TEST(Privileges, RaiseOwnPriorityIsSilentOnRefusal) {
    FakeProcessApi api;
    api.SetSelfPid(7);
    api.AddProcess(7, QStringLiteral("/usr/bin/kelvane")).refuseSetClass = true;
    RaiseOwnPriority(api);
    EXPECT_EQ(api.Find(7)->priorityClass, NORMAL_PRIORITY_CLASS);
    api.Find(7)->refuseSetClass = false;
    RaiseOwnPriority(api);
    EXPECT_EQ(api.Find(7)->priorityClass, HIGH_PRIORITY_CLASS);
}
