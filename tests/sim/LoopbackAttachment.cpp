#include "sim/LoopbackAttachment.h"

#include <span>

namespace sim {

LoopbackAttachment::LoopbackAttachment(Device& device, std::shared_ptr<LoopbackDevice> endpoint)
    : endpoint_(std::move(endpoint))
    , driver_(device, [this](const Delivery& d) { onDelivery(d); })
    , link_(std::make_shared<Link>())
{
}

LoopbackAttachment::~LoopbackAttachment() { stop(); }

void LoopbackAttachment::start()
{
    {
        std::lock_guard<std::mutex> lock(link_->lock);
        link_->driver = &driver_;
    }
    std::weak_ptr<Link> weak = link_;
    endpoint_->SetReceiver([weak](const std::vector<std::uint8_t>& message) {
        const std::shared_ptr<Link> link = weak.lock();
        if (!link)
            return;
        std::lock_guard<std::mutex> lock(link->lock);
        if (link->driver)
            link->driver->send(QByteArray(reinterpret_cast<const char*>(message.data()), qsizetype(message.size())));
    });
    driver_.start();
}

void LoopbackAttachment::stop()
{
    endpoint_->SetReceiver({});
    {
        // Waits for a receiver call in progress on the loopback's worker.
        std::lock_guard<std::mutex> lock(link_->lock);
        link_->driver = nullptr;
    }
    driver_.stop();
}

void LoopbackAttachment::onDelivery(const Delivery& d)
{
    const auto bytes = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(d.bytes.constData()),
                                                     std::size_t(d.bytes.size()));
    switch (d.kind) {
    case EntryKind::Message:
        endpoint_->Send(bytes);
        break;
    case EntryKind::InputError:
        endpoint_->SendLongError(bytes);
        break;
    case EntryKind::Disconnect:
        endpoint_->ReportClosed();
        break;
    case EntryKind::Reconnect:
        break; // the port opens the device again by itself
    }
}

} // namespace sim
