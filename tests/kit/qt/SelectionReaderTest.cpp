// Reading what another program gives for a selection, against an owner made
// for the test that answers plainly, in increments, too much, too slowly, or
// not at all.

#include "XServer.h"

#include "qt/SelectionReader.h"
#include "qt/X11.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>

namespace {

const char* const kSelection = "_TAVRIN_TEST_SELECTION";
const char* const kTarget = "image/png";

enum class Answer {
    Plain,       // the bytes in the property at once
    Refuse,      // no property: nothing for the target
    Increments,  // INCR in pieces, announcing the true size
    Understated, // INCR announcing 4 bytes, then sending the whole
    Endless,     // INCR that never ends
    Stalls,      // INCR that stops after its first piece
    Silent,      // no answer at all
};

std::string pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i++)
        bytes[i] = (char)(i * 7 + i / 251);
    return bytes;
}

// Owns the selection on a connection of its own and answers every request
// as told, from a thread of its own.
class Owner
{
public:
    Owner(Answer answer, size_t size, size_t piece)
        : fAnswer(answer), fData(pattern(size)), fPiece(piece)
    {
        fConnection = xcb_connect(nullptr, nullptr);
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(fConnection)).data->root;
        fWindow = xcb_generate_id(fConnection);
        xcb_create_window(fConnection, 0, fWindow, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        fSelection = BPrivate::intern_atom(fConnection, kSelection);
        fIncr = BPrivate::intern_atom(fConnection, "INCR");
        xcb_set_selection_owner(fConnection, fWindow, fSelection, XCB_CURRENT_TIME);
        // The owner is known to the server once a round trip has passed.
        free(xcb_get_selection_owner_reply(
            fConnection, xcb_get_selection_owner(fConnection, fSelection), nullptr));
        fThread = std::thread([this]() { _Run(); });
    }

    ~Owner()
    {
        fStop = true;
        fThread.join();
        xcb_disconnect(fConnection);
    }

private:
    void _Put(const char* data, size_t size)
    {
        xcb_change_property(fConnection, XCB_PROP_MODE_REPLACE, fRequestor, fProperty,
                            BPrivate::intern_atom(fConnection, kTarget), 8, size, data);
    }

    void _NextPiece()
    {
        if (fAnswer == Answer::Stalls && fSent > 0)
            return;
        size_t size = fAnswer == Answer::Endless ? fPiece : std::min(fPiece, fData.size() - fSent);
        _Put(fData.data() + (fSent % fData.size()), std::min(size, fData.size()));
        fSent += size;
        if (size == 0)
            fRequestor = XCB_WINDOW_NONE;
    }

    void _Answer(const xcb_selection_request_event_t* request)
    {
        xcb_selection_notify_event_t notify = {};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.requestor = request->requestor;
        notify.selection = request->selection;
        notify.target = request->target;
        notify.property = request->property;
        notify.time = request->time;
        fRequestor = request->requestor;
        fProperty = request->property;
        fSent = 0;
        switch (fAnswer) {
        case Answer::Silent:
            return;
        case Answer::Refuse:
            notify.property = XCB_ATOM_NONE;
            break;
        case Answer::Plain:
            _Put(fData.data(), fData.size());
            break;
        default: {
            uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(fConnection, fRequestor, XCB_CW_EVENT_MASK, &events);
            uint32_t announced = fAnswer == Answer::Understated ? 4 : (uint32_t)fData.size();
            xcb_change_property(fConnection, XCB_PROP_MODE_REPLACE, fRequestor, fProperty, fIncr,
                                32, 1, &announced);
            break;
        }
        }
        xcb_send_event(fConnection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(fConnection);
    }

    void _Run()
    {
        while (!fStop) {
            struct pollfd fd = {xcb_get_file_descriptor(fConnection), POLLIN, 0};
            poll(&fd, 1, 20);
            while (xcb_generic_event_t* event = xcb_poll_for_event(fConnection)) {
                uint8_t type = event->response_type & ~0x80;
                if (type == XCB_SELECTION_REQUEST) {
                    _Answer(reinterpret_cast<xcb_selection_request_event_t*>(event));
                } else if (type == XCB_PROPERTY_NOTIFY) {
                    auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
                    if (notify->window == fRequestor && notify->atom == fProperty &&
                        notify->state == XCB_PROPERTY_DELETE) {
                        _NextPiece();
                        xcb_flush(fConnection);
                    }
                }
                free(event);
            }
        }
    }

    Answer fAnswer;
    std::string fData;
    size_t fPiece;
    size_t fSent = 0;
    xcb_connection_t* fConnection;
    xcb_window_t fWindow;
    xcb_atom_t fSelection, fIncr;
    xcb_window_t fRequestor = XCB_WINDOW_NONE;
    xcb_atom_t fProperty = XCB_ATOM_NONE;
    std::atomic<bool> fStop{false};
    std::thread fThread;
};

class SelectionReaderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sServer = new TestXServer;
        std::string problem;
        if (!sServer->Start(64, 64, &problem))
            sProblem = problem;
    }
    static void TearDownTestSuite()
    {
        delete sServer;
        sServer = nullptr;
    }
    void SetUp() override
    {
        if (!sProblem.empty())
            GTEST_SKIP() << "no X server: " << sProblem;
    }

    static TestXServer* sServer;
    static std::string sProblem;
};

TestXServer* SelectionReaderTest::sServer = nullptr;
std::string SelectionReaderTest::sProblem;

struct Case
{
    const char* name;
    Answer answer;
    size_t size;     // what the owner has
    size_t piece;    // its increments
    size_t limit;    // what the reader takes at most
    status_t status; // what the reader says
};

TEST_F(SelectionReaderTest, TakesWhatFitsAndGivesUpOnTheRest)
{
    const Case cases[] = {
        {"plain", Answer::Plain, 5000, 0, 10000, B_OK},
        {"plain, exactly the limit", Answer::Plain, 10000, 0, 10000, B_OK},
        {"plain, over the limit", Answer::Plain, 10001, 0, 10000, B_BUFFER_OVERFLOW},
        {"plain, large", Answer::Plain, 3 << 20, 0, 8 << 20, B_OK},
        {"refused", Answer::Refuse, 10, 0, 10000, B_NOT_ALLOWED},
        {"increments", Answer::Increments, 70000, 4096, 100000, B_OK},
        {"increments, exactly the limit", Answer::Increments, 65536, 4096, 65536, B_OK},
        {"increments announcing too much", Answer::Increments, 200000, 4096, 100000,
         B_BUFFER_OVERFLOW},
        {"increments understating, sending too much", Answer::Understated, 200000, 4096, 100000,
         B_BUFFER_OVERFLOW},
        {"increments that never end", Answer::Endless, 4096, 4096, 100000, B_BUFFER_OVERFLOW},
        {"increments that stall", Answer::Stalls, 70000, 4096, 100000, B_TIMED_OUT},
        {"no answer", Answer::Silent, 10, 0, 10000, B_TIMED_OUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Owner owner(c.answer, c.size, c.piece);
        QByteArray bytes("left over");
        auto start = std::chrono::steady_clock::now();
        status_t status = BPrivate::read_x_selection(nullptr, 0, kSelection, kTarget, 0,
                                                     {c.limit, 300, 20000}, &bytes);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(status, c.status);
        if (c.status == B_OK) {
            std::string expected = pattern(c.size);
            EXPECT_EQ((size_t)bytes.size(), c.size);
            EXPECT_TRUE(bytes.toStdString() == expected);
        } else {
            EXPECT_TRUE(bytes.isEmpty());
        }
        // Nothing here waits for the whole time limit: a stall is given up
        // after its idle time.
        EXPECT_LT(seconds, 10.0);
    }
}

TEST_F(SelectionReaderTest, NoOwnerIsNoData)
{
    QByteArray bytes;
    EXPECT_EQ(BPrivate::read_x_selection(nullptr, 0, "_TAVRIN_NOBODY_OWNS_THIS", kTarget, 0,
                                         {1000, 300, 2000}, &bytes),
              B_NOT_ALLOWED);
    EXPECT_TRUE(bytes.isEmpty());
}

TEST_F(SelectionReaderTest, NoDisplayIsAnError)
{
    QByteArray bytes;
    EXPECT_EQ(
        BPrivate::read_x_selection(":4097", 0, kSelection, kTarget, 0, {1000, 300, 2000}, &bytes),
        B_ERROR);
}

} // namespace
