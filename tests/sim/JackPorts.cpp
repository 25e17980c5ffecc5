#include "sim/JackPorts.h"

#include <rtmidi/RtMidi.h>

namespace sim {

namespace {

void KeepError(RtMidiError::Type type, const std::string& text, void* sink)
{
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        return;
    *static_cast<QString*>(sink) = QString::fromStdString(text);
}

} // namespace

JackPorts::JackPorts(Device& device, QString clientName) : device_(device), clientName_(std::move(clientName))
{
    driver_ = std::make_unique<RealTimeDriver>(device_, [this](const Delivery& d) { onDelivery(d); });
}

JackPorts::~JackPorts() { close(); }

bool JackPorts::open(QString* error)
{
    close();
    if (!openPorts(error))
        return false;
    driver_->start();
    return true;
}

void JackPorts::close()
{
    // The driver first, so that no delivery reopens or uses the ports while they go.
    driver_->stop();
    closePorts();
}

bool JackPorts::isOpen() const
{
    std::lock_guard<std::mutex> lock(portsLock_);
    return in_ && out_;
}

bool JackPorts::openPorts(QString* error)
{
    std::lock_guard<std::mutex> lock(portsLock_);
    lastError_.clear();
    try {
        auto in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, (clientName_ + QStringLiteral("-in")).toStdString());
        in->setErrorCallback(&KeepError, &lastError_);
        // SysEx is what the module is about; RtMidi drops it unless told otherwise.
        in->ignoreTypes(false, true, true);
        in->setCallback(&JackPorts::OnInput, this);
        in->openVirtualPort("midi_in");
        auto out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, (clientName_ + QStringLiteral("-out")).toStdString());
        out->setErrorCallback(&KeepError, &lastError_);
        out->openVirtualPort("midi_out");
        if (!lastError_.isEmpty()) {
            if (error)
                *error = lastError_;
            return false;
        }
        in_ = std::move(in);
        out_ = std::move(out);
        return true;
    } catch (const RtMidiError& e) {
        if (error)
            *error = QString::fromStdString(e.getMessage());
        return false;
    }
}

void JackPorts::closePorts()
{
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    {
        std::lock_guard<std::mutex> lock(portsLock_);
        in = std::move(in_);
        out = std::move(out_);
    }
    // Destroyed outside the lock: closing the input waits for JACK's thread, which may be
    // inside OnInput.
    in.reset();
    out.reset();
    portsChanged_.notify_all();
}

bool JackPorts::waitUntilClosed(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(portsLock_);
    return portsChanged_.wait_for(lock, timeout, [this] { return !in_ && !out_; });
}

void JackPorts::OnInput(double, std::vector<unsigned char>* message, void* self)
{
    if (!message || message->empty())
        return;
    auto* ports = static_cast<JackPorts*>(self);
    ports->driver_->send(QByteArray(reinterpret_cast<const char*>(message->data()), qsizetype(message->size())));
}

void JackPorts::onDelivery(const Delivery& d)
{
    switch (d.kind) {
    case EntryKind::Message:
    case EntryKind::InputError: {
        std::lock_guard<std::mutex> lock(portsLock_);
        if (out_)
            out_->sendMessage(reinterpret_cast<const unsigned char*>(d.bytes.constData()), std::size_t(d.bytes.size()));
        break;
    }
    case EntryKind::Disconnect:
        closePorts();
        break;
    case EntryKind::Reconnect:
        openPorts(nullptr);
        break;
    }
}

} // namespace sim
