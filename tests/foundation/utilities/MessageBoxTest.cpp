#include "support/ScriptedMessageBoxes.h"
#include "utilities/MessageBox.h"
#include "utilities/MessageBoxCapture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using util::BoxAnswer;
using util::BoxButtons;
using util::BoxIcon;

TEST(MessageBoxTest, DefaultServiceWritesToStandardErrorAndTakesDefault)
{
    ASSERT_TRUE(util::isStandardErrorMessageBoxService());
    testing::internal::CaptureStderr();
    BoxAnswer answer = util::messageBox(L"LDAP Message", L"Can't connect \u00e4", BoxIcon::Error,
                                        BoxButtons::YesNo, BoxAnswer::No);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, BoxAnswer::No);
    EXPECT_EQ(written, "LDAP Message: Can't connect \xC3\xA4\n");
}

TEST(MessageBoxTest, DefaultButtonIsFirstOfTheSet)
{
    dirtest::ScriptedMessageBoxes boxes;
    EXPECT_EQ(util::messageBox(L"c", L"t", BoxIcon::None, BoxButtons::Ok), BoxAnswer::Ok);
    EXPECT_EQ(util::messageBox(L"c", L"t", BoxIcon::None, BoxButtons::OkCancel), BoxAnswer::Ok);
    EXPECT_EQ(util::messageBox(L"c", L"t", BoxIcon::None, BoxButtons::YesNo), BoxAnswer::Yes);
    EXPECT_EQ(util::messageBox(L"c", L"t", BoxIcon::None, BoxButtons::YesNoCancel),
              BoxAnswer::Yes);
    EXPECT_EQ(util::messageBox(L"c", L"t", BoxIcon::None, BoxButtons::RetryCancel),
              BoxAnswer::Retry);
    EXPECT_EQ(util::messageBox(L"c", L"t", BoxIcon::None, BoxButtons::AbortRetryIgnore),
              BoxAnswer::Abort);
    EXPECT_EQ(boxes.boxes().size(), 6u);
}

TEST(MessageBoxTest, ScriptedRecordsEveryFieldAndAnswersInOrder)
{
    dirtest::ScriptedMessageBoxes boxes;
    boxes.queueAnswer(BoxAnswer::No);
    boxes.queueAnswer(BoxAnswer::Cancel);
    EXPECT_EQ(util::messageBox(L"Delete", L"Really delete?", BoxIcon::Question,
                               BoxButtons::YesNo),
              BoxAnswer::No);
    EXPECT_EQ(util::messageBox(L"Second", L"t2", BoxIcon::Warning, BoxButtons::OkCancel),
              BoxAnswer::Cancel);
    // Queue used up: the default button answers.
    EXPECT_EQ(util::messageBox(L"Third", L"t3", BoxIcon::None, BoxButtons::YesNoCancel,
                               BoxAnswer::Cancel),
              BoxAnswer::Cancel);

    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, L"Delete");
    EXPECT_EQ(shown[0].text, L"Really delete?");
    EXPECT_EQ(shown[0].icon, BoxIcon::Question);
    EXPECT_EQ(shown[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(shown[0].defaultButton, BoxAnswer::Yes);
    EXPECT_EQ(shown[1].caption, L"Second");
    EXPECT_EQ(shown[2].defaultButton, BoxAnswer::Cancel);
}

TEST(MessageBoxTest, ClearForgetsBoxesAndAnswers)
{
    dirtest::ScriptedMessageBoxes boxes;
    boxes.queueAnswer(BoxAnswer::No);
    util::messageBox(L"a", L"b", BoxIcon::None, BoxButtons::Ok);
    boxes.queueAnswer(BoxAnswer::No);
    boxes.clear();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(util::messageBox(L"a", L"b", BoxIcon::None, BoxButtons::YesNo), BoxAnswer::Yes);
}

TEST(MessageBoxTest, ScriptedServicesNestAndRestore)
{
    ASSERT_TRUE(util::isStandardErrorMessageBoxService());
    {
        dirtest::ScriptedMessageBoxes outer;
        EXPECT_EQ(&util::messageBoxService(), &outer);
        {
            dirtest::ScriptedMessageBoxes inner;
            util::messageBox(L"inner", L"t", BoxIcon::None, BoxButtons::Ok);
            EXPECT_EQ(inner.boxes().size(), 1u);
        }
        EXPECT_EQ(&util::messageBoxService(), &outer);
        util::messageBox(L"outer", L"t", BoxIcon::None, BoxButtons::Ok);
        ASSERT_EQ(outer.boxes().size(), 1u);
        EXPECT_EQ(outer.boxes()[0].caption, L"outer");
    }
    EXPECT_TRUE(util::isStandardErrorMessageBoxService());
}

TEST(MessageBoxTest, NullRestoresDefault)
{
    dirtest::ScriptedMessageBoxes boxes;
    util::setMessageBoxService(nullptr);
    EXPECT_TRUE(util::isStandardErrorMessageBoxService());
    util::setMessageBoxService(&boxes);
    EXPECT_FALSE(util::isStandardErrorMessageBoxService());
}

TEST(MessageBoxTest, BoxesFromAWorkerThreadAreRecorded)
{
    dirtest::ScriptedMessageBoxes boxes;
    std::thread worker([] {
        for (int i = 0; i < 100; ++i)
            util::messageBox(L"worker", L"t", BoxIcon::None, BoxButtons::Ok);
    });
    for (int i = 0; i < 100; ++i)
        util::messageBox(L"main", L"t", BoxIcon::None, BoxButtons::Ok);
    worker.join();
    EXPECT_EQ(boxes.boxes().size(), 200u);
}

} // namespace

namespace {

TEST(MessageBoxTest, ACaptureKeepsTheBoxesOfItsThreadOnly)
{
    dirtest::ScriptedMessageBoxes boxes;
    {
        util::MessageBoxCapture outer;
        EXPECT_EQ(util::messageBox(L"c", L"outer", BoxIcon::Warning, BoxButtons::YesNo, BoxAnswer::No),
                  BoxAnswer::No);
        {
            util::MessageBoxCapture inner;
            util::messageBox(L"c", L"inner", BoxIcon::Warning, BoxButtons::Ok);
            ASSERT_EQ(inner.boxes().size(), 1u);
            EXPECT_EQ(inner.boxes()[0].text, L"inner");
        }
        // Another thread's box is shown as before.
        std::thread([] { util::messageBox(L"c", L"other thread", BoxIcon::None, BoxButtons::Ok); }).join();
        ASSERT_EQ(outer.boxes().size(), 1u);
        EXPECT_EQ(outer.boxes()[0].text, L"outer");
        EXPECT_EQ(outer.boxes()[0].buttons, BoxButtons::YesNo);
    }
    util::messageBox(L"c", L"after", BoxIcon::None, BoxButtons::Ok);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, L"other thread");
    EXPECT_EQ(boxes.boxes()[1].text, L"after");
}

} // namespace
