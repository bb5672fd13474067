#include "WaylandDrop.h"

#include "Wayland.h"

#include <Errors.h>

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace BPrivate {

namespace {

// The most types one offer may name, and the longest name kept: a source
// that offers more is not believed beyond them.
const int kMaxTypes = 256;
const size_t kMaxTypeLength = 255;

struct Offer
{
    wl_data_offer* proxy;
    QStringList types;
};

void offer_type(void* data, wl_data_offer*, const char* type)
{
    auto* offer = static_cast<Offer*>(data);
    if (offer->types.size() < kMaxTypes && strlen(type) <= kMaxTypeLength)
        offer->types << QString::fromUtf8(type);
}

void offer_source_actions(void*, wl_data_offer*, uint32_t) {}
void offer_action(void*, wl_data_offer*, uint32_t) {}

const wl_data_offer_listener kOfferListener = {offer_type, offer_source_actions, offer_action};

// The kit's data device, on a queue of its own that only the kit dispatches:
// nothing of Qt's runs while it does. Offers the compositor announces wait
// until an enter or a selection says what they are; the offer of the drag
// over our windows is kept while the drag lasts, and after a drop until the
// drop takes it or the next drag comes.
class Device
{
public:
    ~Device()
    {
        _Forget(fFresh);
        _Forget(fRetired);
        _Destroy(fEntered);
        _Destroy(fDropped);
        _Destroy(fSelection);
        if (fDevice)
            wl_data_device_destroy(fDevice);
        if (fManager)
            wl_data_device_manager_destroy(fManager);
        if (fSeat)
            wl_seat_destroy(fSeat);
        if (fRegistry)
            wl_registry_destroy(fRegistry);
        if (fQueue)
            wl_event_queue_destroy(fQueue);
    }

    bool Open(wl_display* display)
    {
        fDisplay = display;
        fQueue = wl_display_create_queue(display);
        auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        if (!fQueue || !wrapper)
            return false;
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), fQueue);
        fRegistry = wl_display_get_registry(wrapper);
        wl_proxy_wrapper_destroy(wrapper);
        static const wl_registry_listener listener = {_Global, _GlobalRemoved};
        wl_registry_add_listener(fRegistry, &listener, this);
        if (wl_display_roundtrip_queue(display, fQueue) < 0 || !fManager || !fSeat)
            return false;
        fDevice = wl_data_device_manager_get_data_device(fManager, fSeat);
        static const wl_data_device_listener device = {_DataOffer, _Enter, _Leave,
                                                       _Motion,    _Drop,  _Selection};
        wl_data_device_add_listener(fDevice, &device, this);
        return true;
    }

    // Handles what the compositor has sent the device so far.
    void Dispatch()
    {
        wl_display_dispatch_queue_pending(fDisplay, fQueue);
        _Forget(fRetired);
    }

    Offer* Take()
    {
        Dispatch();
        // The compositor sends both devices the same, but the kit's part may
        // come in a later read than Qt's.
        if (!fEntered && !fDropped)
            wl_display_roundtrip_queue(fDisplay, fQueue);
        Offer*& slot = fEntered ? fEntered : fDropped;
        Offer* offer = slot;
        slot = nullptr;
        return offer;
    }

    // A taken offer goes with the next dispatch, after Qt has told the
    // source its drop is done: an offer of a drop destroyed before that
    // ends the source's drag as a failure.
    void Retire(wl_data_offer* proxy) { fRetired.push_back(new Offer{proxy, {}}); }

    wl_display* Display() const { return fDisplay; }

    // The clipboard's offer as the compositor last told it, or null.
    Offer* Selection()
    {
        wl_display_roundtrip_queue(fDisplay, fQueue);
        _Forget(fRetired);
        return fSelection;
    }

private:
    static void _Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                        uint32_t version)
    {
        auto* self = static_cast<Device*>(data);
        if (strcmp(interface, wl_data_device_manager_interface.name) == 0 && !self->fManager)
            self->fManager = static_cast<wl_data_device_manager*>(wl_registry_bind(
                registry, name, &wl_data_device_manager_interface, std::min<uint32_t>(version, 3)));
        else if (strcmp(interface, wl_seat_interface.name) == 0 && !self->fSeat)
            // Qt's drags and drops go through the first seat too.
            self->fSeat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }

    static void _GlobalRemoved(void*, wl_registry*, uint32_t) {}

    static void _DataOffer(void* data, wl_data_device*, wl_data_offer* proxy)
    {
        auto* offer = new Offer{proxy, {}};
        wl_data_offer_add_listener(proxy, &kOfferListener, offer);
        static_cast<Device*>(data)->fFresh.push_back(offer);
    }

    static void _Enter(void* data, wl_data_device*, uint32_t, wl_surface*, wl_fixed_t, wl_fixed_t,
                       wl_data_offer* proxy)
    {
        auto* self = static_cast<Device*>(data);
        self->_Destroy(self->fEntered);
        self->_Destroy(self->fDropped);
        self->fEntered = self->_Adopt(proxy);
        self->fWasDropped = false;
    }

    static void _Leave(void* data, wl_data_device*)
    {
        auto* self = static_cast<Device*>(data);
        // A drop's offer stays for the drop to take.
        if (self->fWasDropped) {
            self->_Destroy(self->fDropped);
            self->fDropped = self->fEntered;
        } else {
            self->_Destroy(self->fEntered);
        }
        self->fEntered = nullptr;
    }

    static void _Motion(void*, wl_data_device*, uint32_t, wl_fixed_t, wl_fixed_t) {}

    static void _Drop(void* data, wl_data_device*)
    {
        static_cast<Device*>(data)->fWasDropped = true;
    }

    static void _Selection(void* data, wl_data_device*, wl_data_offer* proxy)
    {
        // The clipboard's offer stays until the next one: Paste reads it
        // through a pipe of its own, off the GUI thread.
        auto* self = static_cast<Device*>(data);
        self->_Destroy(self->fSelection);
        self->fSelection = self->_Adopt(proxy);
    }

    // Takes the announced offer of proxy out of the fresh ones; the others
    // were never introduced and go.
    Offer* _Adopt(wl_data_offer* proxy)
    {
        Offer* found = nullptr;
        for (Offer* offer : fFresh) {
            if (proxy && offer->proxy == proxy)
                found = offer;
            else
                _Destroy(offer);
        }
        fFresh.clear();
        return found;
    }

    void _Destroy(Offer*& offer)
    {
        if (!offer)
            return;
        wl_data_offer_destroy(offer->proxy);
        delete offer;
        offer = nullptr;
    }

    void _Forget(std::vector<Offer*>& offers)
    {
        for (Offer* offer : offers)
            _Destroy(offer);
        offers.clear();
    }

    wl_display* fDisplay = nullptr;
    wl_event_queue* fQueue = nullptr;
    wl_registry* fRegistry = nullptr;
    wl_data_device_manager* fManager = nullptr;
    wl_seat* fSeat = nullptr;
    wl_data_device* fDevice = nullptr;
    std::vector<Offer*> fFresh;
    std::vector<Offer*> fRetired;
    Offer* fEntered = nullptr;
    Offer* fDropped = nullptr;
    Offer* fSelection = nullptr;
    bool fWasDropped = false;
};

Device* sDevice = nullptr;

// Keeps the device's queue short: it is dispatched whenever Qt's own device
// has had news, that is whenever a drag moves over one of our windows or
// the clipboard changes hands.
class Tender : public QObject
{
public:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            if (sDevice && object->isWindowType())
                sDevice->Dispatch();
            break;
        default:
            break;
        }
        return false;
    }
};

Tender* sTender = nullptr;

} // namespace

WaylandDropOffer::WaylandDropOffer(wl_data_offer* offer, const QStringList& types)
    : fOffer(offer), fTypes(types)
{}

WaylandDropOffer::~WaylandDropOffer()
{
    if (sDevice)
        sDevice->Retire(fOffer);
    else
        wl_data_offer_destroy(fOffer);
}

namespace {

int receive(wl_data_offer* offer, const QString& type)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    wl_data_offer_receive(offer, type.toUtf8().constData(), ends[1]);
    wl_display_flush(sDevice->Display());
    close(ends[1]);
    return ends[0];
}

} // namespace

int WaylandDropOffer::Receive(const QString& type)
{
    if (!sDevice || !fTypes.contains(type))
        return -1;
    return receive(fOffer, type);
}

QStringList WaylandDrop::SelectionTypes()
{
    Offer* offer = sDevice ? sDevice->Selection() : nullptr;
    return offer ? offer->types : QStringList();
}

int WaylandDrop::ReceiveSelection(const QString& type)
{
    Offer* offer = sDevice ? sDevice->Selection() : nullptr;
    if (!offer || !offer->types.contains(type))
        return -1;
    return receive(offer->proxy, type);
}

void WaylandDrop::Start()
{
    if (sDevice)
        return;
    wl_display* display = wayland_display();
    if (!display)
        return;
    sDevice = new Device;
    if (!sDevice->Open(display)) {
        delete sDevice;
        sDevice = nullptr;
        return;
    }
    sTender = new Tender;
    qApp->installEventFilter(sTender);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, sTender, []() {
        if (sDevice)
            sDevice->Dispatch();
    });
}

void WaylandDrop::Stop()
{
    delete sTender;
    sTender = nullptr;
    delete sDevice;
    sDevice = nullptr;
}

std::unique_ptr<WaylandDropOffer> WaylandDrop::Take()
{
    Offer* offer = sDevice ? sDevice->Take() : nullptr;
    if (!offer)
        return nullptr;
    std::unique_ptr<WaylandDropOffer> taken(new WaylandDropOffer(offer->proxy, offer->types));
    delete offer;
    return taken;
}

status_t read_pipe(int fd, const SelectionLimits& limits, QByteArray* bytes)
{
    using Clock = std::chrono::steady_clock;
    bytes->clear();
    Clock::time_point start = Clock::now(), progress = start;
    status_t status = B_OK;
    char block[64 * 1024];
    for (;;) {
        Clock::time_point now = Clock::now();
        auto left = std::min(std::chrono::milliseconds(limits.idleMs) - (now - progress),
                             std::chrono::milliseconds(limits.totalMs) - (now - start));
        if (left <= Clock::duration::zero()) {
            status = B_TIMED_OUT;
            break;
        }
        struct pollfd wait = {fd, POLLIN, 0};
        int ms = (int)std::chrono::ceil<std::chrono::milliseconds>(left).count();
        int ready = poll(&wait, 1, ms);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            status = B_IO_ERROR;
            break;
        }
        if (ready == 0)
            continue;
        // One byte past the limit is enough to know it is passed.
        size_t room = limits.maxBytes - (size_t)bytes->size() + 1;
        ssize_t got = read(fd, block, std::min(sizeof(block), room));
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0) {
            status = B_IO_ERROR;
            break;
        }
        if (got == 0)
            break;
        if ((size_t)got >= room) {
            status = B_BUFFER_OVERFLOW;
            break;
        }
        bytes->append(block, got);
        progress = Clock::now();
    }
    close(fd);
    if (status != B_OK)
        bytes->clear();
    return status;
}

} // namespace BPrivate
