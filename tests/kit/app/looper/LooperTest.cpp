// Strands: each looper handles one message at a time, in order, is never
// re-entered, and lets the others run while one of its handlers waits.

#include <Looper.h>
#include <Message.h>
#include <Messenger.h>

#include "TestApp.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Recorder : public BLooper
{
public:
    Recorder(const char* name) : BLooper(name) {}

    void MessageReceived(BMessage* message) override
    {
        depth++;
        maxDepth = std::max(maxDepth, depth);
        int32 sender = -1, sequence = -1;
        message->FindInt32("sender", &sender);
        message->FindInt32("sequence", &sequence);
        log.push_back({message->what, sender, sequence});
        if (onMessage)
            onMessage(message);
        depth--;
    }

    struct Entry
    {
        uint32 what;
        int32 sender;
        int32 sequence;
    };
    std::vector<Entry> log;
    std::function<void(BMessage*)> onMessage;
    int depth = 0;
    int maxDepth = 0;
};

class LooperTest : public ::testing::Test
{
protected:
    void SetUp() override { test_app(); }
};

TEST_F(LooperTest, MessagesFromManyThreadsArriveOnceAndInOrderPerSender)
{
    Recorder* looper = new Recorder("recorder");
    looper->Run();
    const int kThreads = 4;
    const int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([looper, t]() {
            BMessenger messenger(looper);
            for (int i = 0; i < kEach; i++) {
                BMessage message('tick');
                message.AddInt32("sender", t);
                message.AddInt32("sequence", i);
                ASSERT_EQ(messenger.SendMessage(&message), B_OK);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_TRUE(run_until([&] { return looper->log.size() == kThreads * kEach; }));

    std::vector<int> next(kThreads, 0);
    for (const Recorder::Entry& entry : looper->log) {
        ASSERT_GE(entry.sender, 0);
        EXPECT_EQ(entry.sequence, next[entry.sender]) << "sender " << entry.sender;
        next[entry.sender]++;
    }
    EXPECT_EQ(looper->maxDepth, 1);
    looper->Lock();
    looper->Quit();
}

TEST_F(LooperTest, NestedEventLoopDoesNotReenterItsLooperButOthersRun)
{
    Recorder* busy = new Recorder("busy");
    Recorder* other = new Recorder("other");
    busy->Run();
    other->Run();

    size_t otherSeenDuringNested = 0;
    size_t busySeenDuringNested = 0;
    busy->onMessage = [&](BMessage* message) {
        if (message->what != 'modl')
            return;
        // A modal dialog's loop, as BAlert::Go() runs one inside a handler.
        busy->PostMessage('late');
        for (int i = 0; i < 3; i++)
            other->PostMessage('work');
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
        otherSeenDuringNested = other->log.size();
        busySeenDuringNested = busy->log.size();
    };
    busy->PostMessage('modl');
    ASSERT_TRUE(run_until([&] { return busy->log.size() == 2; }));

    EXPECT_EQ(otherSeenDuringNested, 3u) << "the other looper must go on meanwhile";
    EXPECT_EQ(busySeenDuringNested, 1u) << "the busy looper must not be re-entered";
    EXPECT_EQ(busy->maxDepth, 1);
    ASSERT_EQ(busy->log.size(), 2u);
    EXPECT_EQ(busy->log[0].what, (uint32)'modl');
    EXPECT_EQ(busy->log[1].what, (uint32)'late');
    busy->Quit();
    other->Quit();
}

TEST_F(LooperTest, RepliesReachTheNamedHandlerOrTheApplication)
{
    Recorder* server = new Recorder("server");
    Recorder* client = new Recorder("client");
    server->Run();
    client->Run();
    server->onMessage = [](BMessage* message) {
        BMessage reply('rply');
        reply.AddInt32("sequence", 7);
        message->SendReply(&reply);
    };

    BMessage ask1('ask1');
    BMessenger(server).SendMessage(&ask1, client);
    ASSERT_TRUE(run_until([&] { return client->log.size() == 1; }));
    EXPECT_EQ(client->log[0].what, (uint32)'rply');
    EXPECT_EQ(client->log[0].sequence, 7);

    // With no reply target named, the reply goes to the application.
    size_t before = test_app()->received.size();
    BMessage ask2('ask2');
    BMessenger(server).SendMessage(&ask2);
    ASSERT_TRUE(run_until([&] { return test_app()->received.size() == before + 1; }));
    EXPECT_EQ(test_app()->received.back().what, (uint32)'rply');
    EXPECT_TRUE(test_app()->received.back().IsReply());
    server->Quit();
    client->Quit();
}

TEST_F(LooperTest, SynchronousSendWaitsForTheAnswerOnTheGuiThread)
{
    Recorder* server = new Recorder("server");
    server->Run();
    server->onMessage = [](BMessage* message) {
        int32 value = 0;
        message->FindInt32("sequence", &value);
        BMessage reply('rply');
        reply.AddInt32("sequence", value * 2);
        message->SendReply(&reply);
    };
    BMessage question('ask ');
    question.AddInt32("sequence", 21);
    BMessage answer;
    ASSERT_EQ(BMessenger(server).SendMessage(&question, &answer), B_OK);
    EXPECT_EQ(answer.what, (uint32)'rply');
    EXPECT_EQ(answer.GetInt32("sequence", 0), 42);

    // A handler that does not answer: the waiting sender hears B_NO_REPLY.
    server->onMessage = nullptr;
    BMessage unanswered;
    ASSERT_EQ(BMessenger(server).SendMessage(&question, &unanswered), B_OK);
    EXPECT_EQ(unanswered.what, (uint32)B_NO_REPLY);
    server->Quit();
}

TEST_F(LooperTest, MessengerToADeletedHandlerIsRefused)
{
    Recorder* looper = new Recorder("short-lived");
    looper->Run();
    BMessenger messenger(looper);
    EXPECT_TRUE(messenger.IsValid());
    looper->Quit();
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(messenger.SendMessage('gone'), B_BAD_PORT_ID);
}

TEST_F(LooperTest, QuitInsideItsOwnHandlerWaitsForTheHandlerToReturn)
{
    Recorder* looper = new Recorder("quitter");
    looper->Run();
    bool afterQuit = false;
    looper->onMessage = [&](BMessage*) {
        looper->Quit();
        // Still alive here: deletion waits until the handler has returned.
        afterQuit = looper->IsDispatching();
    };
    BMessenger messenger(looper);
    looper->PostMessage('quit');
    ASSERT_TRUE(run_until([&] { return !messenger.IsValid(); }));
    EXPECT_TRUE(afterQuit);
}

} // namespace
