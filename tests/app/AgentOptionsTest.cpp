#include "AgentOptions.h"

#include <gtest/gtest.h>

namespace {

AgentOptions parse(std::initializer_list<const char*> arguments) {
    QStringList list;
    for (const char* argument : arguments) {
        list.append(QString::fromUtf8(argument));
    }
    return AgentOptions::parse(list);
}

TEST(AgentOptionsTest, ReadsTheHeadlessOptions) {
    const AgentOptions options = parse({"--headless", "--once", "--answer", "continue"});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.action, AgentOptions::Action::Run);
    EXPECT_TRUE(options.headless);
    EXPECT_TRUE(options.once);
    EXPECT_EQ(options.answer, ConsoleAlertPresenter::Answer::Continue);

    const AgentOptions defaults = parse({});
    EXPECT_FALSE(defaults.headless);
    EXPECT_FALSE(defaults.once);
    EXPECT_EQ(defaults.answer, ConsoleAlertPresenter::Answer::Cancel);
    EXPECT_EQ(parse({"--answer=cancel"}).answer, ConsoleAlertPresenter::Answer::Cancel);
}

TEST(AgentOptionsTest, TheDemoKnowsWhetherAnAnswerWasChosen) {
    EXPECT_TRUE(parse({"--demo"}).demo);
    EXPECT_FALSE(parse({"--demo"}).answerGiven);
    EXPECT_TRUE(parse({"--demo", "--answer=cancel"}).answerGiven);
}

TEST(AgentOptionsTest, AnAgentBuiltWithoutTheDemoRefusesAndDoesNotOfferIt) {
    const AgentOptions options = AgentOptions::parse({QStringLiteral("--demo"), QStringLiteral("--headless")},
                                                     AgentOptions::Demo::NotBuilt);
    EXPECT_FALSE(options.demo);
    EXPECT_TRUE(options.error.contains(QStringLiteral("--demo"))) << options.error.toStdString();
    EXPECT_TRUE(
        AgentOptions::parse({QStringLiteral("--headless")}, AgentOptions::Demo::NotBuilt).error.isEmpty());
    EXPECT_FALSE(AgentOptions::usage(AgentOptions::Demo::NotBuilt).contains(QStringLiteral("demo")));
    EXPECT_TRUE(AgentOptions::usage().contains(QStringLiteral("--demo")));
}

TEST(AgentOptionsTest, KeyValuePairsFormTheArgumentDomainWhereverTheyStand) {
    const AgentOptions options =
        parse({"-appBaseUrl", "http://127.0.0.1:9/", "--headless", "-updateSignaturesForMail", "YES"});
    EXPECT_TRUE(options.error.isEmpty()) << options.error.toStdString();
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.argumentDomain.value(QStringLiteral("appBaseUrl")).toString(),
              QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_EQ(options.argumentDomain.value(QStringLiteral("updateSignaturesForMail")).toString(),
              QStringLiteral("YES"));
}

TEST(AgentOptionsTest, EnterTokenTakesItsValueEitherWay) {
    for (const AgentOptions& options :
         {parse({"--enter-token", "abc def"}), parse({"--enter-token=abc def"})}) {
        EXPECT_TRUE(options.error.isEmpty());
        EXPECT_EQ(options.action, AgentOptions::Action::EnterToken);
        EXPECT_EQ(options.token, QStringLiteral("abc def"));
    }
}

TEST(AgentOptionsTest, DiagnoseIsAnActionOfItsOwnAndOnlyItGoesOnline) {
    const AgentOptions offline = parse({"--diagnose", "-secretStore", "file"});
    EXPECT_TRUE(offline.error.isEmpty()) << offline.error.toStdString();
    EXPECT_EQ(offline.action, AgentOptions::Action::Diagnose);
    EXPECT_FALSE(offline.online);
    EXPECT_EQ(offline.argumentDomain.value(QStringLiteral("secretStore")), QStringLiteral("file"));

    const AgentOptions online = parse({"--online", "--demo", "--diagnose"});
    EXPECT_EQ(online.action, AgentOptions::Action::Diagnose);
    EXPECT_TRUE(online.online);
    EXPECT_TRUE(online.demo);

    EXPECT_FALSE(parse({"--online"}).error.isEmpty());
    EXPECT_FALSE(parse({"--diagnose", "--once"}).error.isEmpty());
    EXPECT_FALSE(parse({"--diagnose", "--enter-token", "x"}).error.isEmpty());
}

TEST(AgentOptionsTest, MalformedCommandLinesAreRefusedWithAReason) {
    EXPECT_TRUE(parse({"--bogus"}).error.contains(QStringLiteral("--bogus")));
    EXPECT_FALSE(parse({"--answer", "maybe"}).error.isEmpty());
    EXPECT_FALSE(parse({"--answer"}).error.isEmpty());
    EXPECT_FALSE(parse({"--enter-token"}).error.isEmpty());
    EXPECT_FALSE(parse({"stray"}).error.isEmpty());
    EXPECT_FALSE(parse({"-dangling"}).error.isEmpty()) << "a key without a value is not a defaults pair";
    EXPECT_EQ(parse({"--help"}).action, AgentOptions::Action::Help);
    EXPECT_TRUE(AgentOptions::usage().startsWith(QStringLiteral("Usage: orlin-agent")));
}

}  // namespace
