#include "sim/Module.h"

#include <algorithm>

namespace sim {

namespace {

bool IsModuleMessage(const QByteArray& m)
{
    return m.size() >= 7 && uchar(m[0]) == 0xF0 && uchar(m[1]) == 0x18 && uchar(m[2]) == 0x0F && uchar(m[4]) == 0x55;
}

bool IsUniversal(const QByteArray& m)
{
    return m.size() >= 6 && uchar(m[0]) == 0xF0 && (uchar(m[1]) == 0x7E || uchar(m[1]) == 0x7F);
}

bool EndsProperly(const QByteArray& m) { return !m.isEmpty() && uchar(m.back()) == 0xF7; }

const char* KindKey(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Preset: return "preset";
    case ObjectKind::Instrument: return "instrument";
    case ObjectKind::Arp: return "arp";
    case ObjectKind::Setup: return "setup";
    case ObjectKind::Demo: return "demo";
    case ObjectKind::Riff: return "riff";
    }
    return "";
}

} // namespace

const char* FaultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Silence: return "silence";
    case FaultKind::LateReply: return "late reply";
    case FaultKind::ModuleError: return "module error";
    case FaultKind::WrongDeviceId: return "wrong device id";
    case FaultKind::Truncate: return "truncated reply";
    case FaultKind::OverLong: return "over-long reply";
    case FaultKind::HighDataByte: return "data byte >= 0x80";
    case FaultKind::Disconnect: return "disconnect";
    case FaultKind::InputError: return "input error";
    case FaultKind::Unsolicited: return "unsolicited message";
    case FaultKind::Doubled: return "doubled reply";
    }
    return "?";
}

Module::Module(Profile profile) : profile_(std::move(profile)), deviceId_(profile_.deviceId)
{
    state_.lcdRows[0] = profile_.lcd.rows[0];
    state_.lcdRows[1] = profile_.lcd.rows[1];
    state_.lcdCharacterTable = profile_.lcd.characterTable;
    InstallCoreHandlers(*this);
    InstallCommandHandlers(*this);
    InstallDumpHandlers(*this);
    // Key-map values in the preset and layer sections the dump handlers answer.
    InstallKeymapHandlers(*this);
    InstallSetupArpTuningHandlers(*this);
    InstallChannelHandlers(*this);
}

// ---- events and the serial lines ------------------------------------------------------

void Module::schedule(SimTime at, std::function<void()> fn)
{
    events_.emplace(std::make_pair(std::max(at, now_), sequence_++), std::move(fn));
}

std::optional<SimTime> Module::nextEventTime() const
{
    if (events_.empty())
        return std::nullopt;
    return events_.begin()->first.first;
}

void Module::runUntil(SimTime t)
{
    while (!events_.empty() && events_.begin()->first.first <= t) {
        auto it = events_.begin();
        now_ = it->first.first;
        std::function<void()> fn = std::move(it->second);
        events_.erase(it);
        fn();
    }
    now_ = std::max(now_, t);
}

std::vector<Delivery> Module::takeDeliveries()
{
    std::vector<Delivery> out;
    out.swap(outbox_);
    return out;
}

SimTime Module::transmit(SimTime* lineBusy, SimTime at, int bytes) const
{
    // A message waits for the line to be free, then takes its bytes' time.
    const SimTime start = std::max(at, *lineBusy);
    *lineBusy = start + bytes * profile_.timing.byteTime();
    return *lineBusy;
}

void Module::deliver(Delivery d)
{
    if (sink_)
        sink_(d);
    else
        outbox_.push_back(std::move(d));
}

// ---- host to module ---------------------------------------------------------------------

void Module::receiveFromHost(const QByteArray& message, SimTime at)
{
    runUntil(at);
    const SimTime arrival = transmit(&hostLineBusy_, now_, int(message.size()));
    TranscriptEntry e;
    e.sent = now_;
    e.arrived = arrival;
    e.direction = Direction::ToModule;
    e.bytes = message;
    e.label = Describe(message);
    const std::size_t index = transcript_.append(std::move(e));
    schedule(arrival, [this, message, index] { arrive(message, index); });
}

void Module::arrive(const QByteArray& message, std::size_t transcriptIndex)
{
    if (!connected_) {
        transcript_.at(transcriptIndex).note = QStringLiteral("lost: disconnected");
        return;
    }
    inbox_.push_back({message, transcriptIndex});
    if (!processing_)
        startNext();
}

void Module::startNext()
{
    processing_ = false;
    while (!inbox_.empty() && !processing_) {
        Pending item = std::move(inbox_.front());
        inbox_.pop_front();
        if (!connected_) {
            transcript_.at(item.transcriptIndex).note = QStringLiteral("lost: disconnected");
            continue;
        }
        process(std::move(item));
    }
}

void Module::process(Pending item)
{
    const QByteArray& m = item.message;
    // By index: the transcript may grow while this message is handled.
    auto note = [this, &item](const QString& text) { transcript_.at(item.transcriptIndex).note = text; };

    Exchange ex;
    ex.request = m;
    if (!m.isEmpty() && uchar(m[0]) != 0xF0) {
        // Short and system messages (notes, controllers, program changes, clock) are kept
        // for tests to look at.
        state_.shortMessages.push_back(m);
        const auto shortRoute = routes_.find(kRouteShortMessage);
        if (shortRoute != routes_.end()) {
            ex.route = kRouteShortMessage;
            shortRoute->second.handle(*this, ex);
            note(ex.note);
        }
        return;
    }
    if (!EndsProperly(m)) {
        note(QStringLiteral("ignored: no F7"));
        return;
    }
    if (IsModuleMessage(m)) {
        if (uchar(m[3]) != deviceId_) {
            note(QStringLiteral("ignored: device id %1").arg(uchar(m[3])));
            return;
        }
        ex.route = uchar(m[5]);
    } else if (IsUniversal(m)) {
        // Universal messages reach this module under its own id and the all-call id 0x7F.
        if (uchar(m[2]) != deviceId_ && uchar(m[2]) != 0x7F) {
            note(QStringLiteral("ignored: device id %1").arg(uchar(m[2])));
            return;
        }
        ex.route = UniversalRoute(uchar(m[1]), uchar(m[3]), uchar(m[4]));
    } else {
        note(QStringLiteral("ignored: not for this module"));
        return;
    }

    const auto route = routes_.find(ex.route);
    if (route != routes_.end() && route->second.subject)
        ex.subject = route->second.subject(m);

    const std::vector<Fault> faults = firingFaults(ex.route, ex.subject);
    const bool lost = std::any_of(faults.begin(), faults.end(), [](const Fault& f) {
        return f.kind == FaultKind::Silence || f.kind == FaultKind::ModuleError || f.kind == FaultKind::Disconnect
            || f.kind == FaultKind::InputError;
    });

    if (!lost) {
        if (route != routes_.end()) {
            route->second.handle(*this, ex);
        } else if (IsModuleMessage(m)) {
            refuse(ex, ex.route, profile_.errorSubCodes.unknownCommand, profile_.policies.unknownCommand,
                   QStringLiteral("unknown command"));
        } else {
            ex.note = QStringLiteral("ignored: universal message not understood");
        }
    }

    std::vector<Output> outputs;
    for (QByteArray& r : ex.replies)
        outputs.push_back({EntryKind::Message, std::move(r), SimTime(0), QString()});
    QStringList faultNames;
    for (const Fault& f : faults) {
        if (f.kind == FaultKind::ModuleError) {
            // A universal request has no command byte; its error names command -1 (7F 7F).
            const int command = IsModuleMessage(m) ? ex.route : -1;
            outputs.clear();
            outputs.push_back({EntryKind::Message, errorReply(command, f.subCode), SimTime(0), QString()});
        }
    }
    for (const Fault& f : faults) {
        ApplyFault(f, &outputs);
        faultNames << QString::fromLatin1(FaultKindName(f.kind));
    }
    if (!faultNames.isEmpty())
        ex.note = (ex.note.isEmpty() ? QString() : ex.note + QStringLiteral("; ")) + QStringLiteral("fault: ")
            + faultNames.join(QStringLiteral(", "));
    for (Output& o : outputs)
        if (o.note.isEmpty() && !faultNames.isEmpty())
            o.note = QStringLiteral("fault: ") + faultNames.join(QStringLiteral(", "));
    note(ex.note);

    processing_ = true;
    const SimTime done = now_ + profile_.timing.processing(ex.route) + ex.extraBusy;
    schedule(done, [this, outputs = std::move(outputs)] {
        for (const Output& o : outputs) {
            if (o.delay > SimTime(0))
                schedule(now_ + o.delay, [this, o] { handOver(o); });
            else
                handOver(o);
        }
        startNext();
    });
}

void Module::ApplyFault(const Fault& f, std::vector<Output>* outputs)
{
    auto eachMessage = [outputs](auto fn) {
        for (Output& o : *outputs)
            if (o.kind == EntryKind::Message)
                fn(o.bytes);
    };
    switch (f.kind) {
    case FaultKind::Silence:
        outputs->clear();
        break;
    case FaultKind::ModuleError:
        break; // the error reply replaced the answer before the other faults apply
    case FaultKind::LateReply:
        for (Output& o : *outputs)
            o.delay += f.delay;
        break;
    case FaultKind::WrongDeviceId:
        eachMessage([&](QByteArray& b) {
            if (IsModuleMessage(b))
                b[3] = char(f.deviceId & 0x7F);
            else if (IsUniversal(b))
                b[2] = char(f.deviceId & 0x7F);
        });
        break;
    case FaultKind::Truncate:
        eachMessage([&](QByteArray& b) {
            b.truncate(std::max(0, f.length));
            if (f.keepEnd)
                b.append(char(0xF7));
        });
        break;
    case FaultKind::OverLong:
        eachMessage([&](QByteArray& b) {
            QByteArray extra;
            for (int i = 0; i < f.length; ++i)
                extra.append(char(i & 0x7F));
            b.insert(std::max<qsizetype>(0, b.size() - 1), extra);
        });
        break;
    case FaultKind::HighDataByte:
        eachMessage([&](QByteArray& b) {
            if (f.offset >= 0 && f.offset < b.size())
                b[f.offset] = char(f.byteValue);
        });
        break;
    case FaultKind::Disconnect:
        outputs->clear();
        outputs->push_back({EntryKind::Disconnect, QByteArray(), SimTime(0), QString()});
        break;
    case FaultKind::InputError:
        outputs->clear();
        outputs->push_back({EntryKind::InputError, f.bytes, SimTime(0), QString()});
        break;
    case FaultKind::Unsolicited:
        outputs->insert(outputs->begin(), {EntryKind::Message, f.bytes, SimTime(0), QString()});
        break;
    case FaultKind::Doubled: {
        std::vector<Output> doubled;
        for (const Output& o : *outputs) {
            doubled.push_back(o);
            if (o.kind == EntryKind::Message)
                doubled.push_back(o);
        }
        *outputs = std::move(doubled);
        break;
    }
    }
}

std::vector<Fault> Module::firingFaults(int route, int subject)
{
    std::vector<Fault> out;
    for (ArmedFault& a : faults_) {
        const Fault& f = a.fault;
        if (f.route != kAnyRoute && f.route != route)
            continue;
        if (f.subject != -1 && f.subject != subject)
            continue;
        ++a.seen;
        if (f.occurrence > 0 && a.seen != f.occurrence)
            continue;
        if (f.times == 0)
            continue;
        if (f.times > 0)
            --a.fault.times;
        out.push_back(f);
    }
    return out;
}

// ---- module to host ---------------------------------------------------------------------

void Module::handOver(const Output& out)
{
    TranscriptEntry e;
    e.direction = Direction::FromModule;
    e.kind = out.kind;
    e.bytes = out.bytes;
    e.note = out.note;
    e.sent = now_;
    switch (out.kind) {
    case EntryKind::Message:
    case EntryKind::InputError:
        if (!connected_)
            return; // a pulled cable carries nothing
        e.arrived = transmit(&moduleLineBusy_, now_, int(out.bytes.size()));
        e.label = out.kind == EntryKind::Message ? Describe(out.bytes) : QStringLiteral("input error");
        break;
    case EntryKind::Disconnect:
        if (!connected_)
            return;
        connected_ = false;
        // The host notices after what is already on the line.
        e.arrived = std::max(now_, moduleLineBusy_);
        e.label = QStringLiteral("disconnect");
        break;
    case EntryKind::Reconnect:
        if (connected_)
            return;
        connected_ = true;
        e.arrived = std::max(now_, moduleLineBusy_);
        e.label = QStringLiteral("reconnect");
        break;
    }
    const Delivery d{e.arrived, e.kind, e.bytes};
    transcript_.append(std::move(e));
    schedule(d.at, [this, d] { deliver(d); });
}

void Module::sendUnsolicited(const QByteArray& message, SimTime at)
{
    schedule(at, [this, message] { handOver({EntryKind::Message, message, SimTime(0), QStringLiteral("unsolicited")}); });
}

void Module::disconnectAt(SimTime at)
{
    schedule(at, [this] { handOver({EntryKind::Disconnect, QByteArray(), SimTime(0), QString()}); });
}

void Module::reconnectAt(SimTime at)
{
    schedule(at, [this] { handOver({EntryKind::Reconnect, QByteArray(), SimTime(0), QString()}); });
}

void Module::inputErrorAt(SimTime at, const QByteArray& garbage)
{
    schedule(at, [this, garbage] { handOver({EntryKind::InputError, garbage, SimTime(0), QString()}); });
}

// ---- handlers -----------------------------------------------------------------------------

void Module::setHandler(int route, Handler handler, SubjectOf subject)
{
    routes_[route] = Route{std::move(handler), std::move(subject)};
}

void Module::removeHandler(int route) { routes_.erase(route); }

Module::Handler Module::handlerOf(int route) const
{
    const auto it = routes_.find(route);
    return it == routes_.end() ? Handler{} : it->second.handle;
}

Module::SubjectOf Module::subjectOf(int route) const
{
    const auto it = routes_.find(route);
    return it == routes_.end() ? SubjectOf{} : it->second.subject;
}

// ---- parameters -----------------------------------------------------------------------------

std::vector<int> Module::currentPlace(int id) const
{
    std::vector<int> place;
    const ParameterDef* param = profile_.parameter(id);
    if (!param)
        return place;
    const auto scope = profile_.scopes.find(param->scope);
    if (scope == profile_.scopes.end())
        return place;
    for (const ScopeSelector& sel : scope->second) {
        int v = parameterValue(sel.selector).value_or(0);
        // "All places" reads as the first place.
        if (sel.all && v == *sel.all)
            v = 0;
        place.push_back(v);
    }
    return place;
}

std::optional<int> Module::parameterValueAt(int id, const std::vector<int>& place) const
{
    if (id == 388)
        return deviceId_;
    const ParameterDef* param = profile_.parameter(id);
    if (!param)
        return std::nullopt;
    const auto byId = values_.find(id);
    if (byId != values_.end()) {
        const auto v = byId->second.find(place);
        if (v != byId->second.end())
            return v->second;
    }
    return param->startValue;
}

std::optional<int> Module::parameterValue(int id) const
{
    if (id == 388)
        return deviceId_;
    if (!profile_.parameter(id))
        return std::nullopt;
    return parameterValueAt(id, currentPlace(id));
}

bool Module::setParameterValue(int id, int value)
{
    const ParameterDef* param = profile_.parameter(id);
    if (!param && id != 388)
        return false;
    if (id == 388) {
        setDeviceId(value);
        return true;
    }
    // Expand every selector that says "all" into each of its places.
    std::vector<std::vector<int>> places{{}};
    const auto scope = profile_.scopes.find(param->scope);
    if (scope != profile_.scopes.end()) {
        for (const ScopeSelector& sel : scope->second) {
            const int v = parameterValue(sel.selector).value_or(0);
            std::vector<std::vector<int>> next;
            for (const std::vector<int>& p : places) {
                if (sel.all && v == *sel.all) {
                    for (int i = 0; i < sel.count; ++i) {
                        next.push_back(p);
                        next.back().push_back(i);
                    }
                } else {
                    next.push_back(p);
                    next.back().push_back(v);
                }
            }
            places = std::move(next);
        }
    }
    for (const std::vector<int>& p : places)
        values_[id][p] = value;
    return true;
}

bool Module::setParameterValueAt(int id, const std::vector<int>& place, int value)
{
    if (id == 388) {
        setDeviceId(value);
        return true;
    }
    if (!profile_.parameter(id))
        return false;
    values_[id][place] = value;
    return true;
}

// ---- objects --------------------------------------------------------------------------------

int Module::objectCount(ObjectKind kind, int simmId) const
{
    if (simmId == 0) {
        switch (kind) {
        case ObjectKind::Preset: return profile_.userPresets;
        case ObjectKind::Arp: return profile_.userArps;
        case ObjectKind::Setup: return profile_.userSetups;
        default: return 0;
        }
    }
    for (const SimmDef& s : profile_.simms) {
        if (s.id != simmId)
            continue;
        switch (kind) {
        case ObjectKind::Preset: return s.presets;
        case ObjectKind::Instrument: return s.instruments;
        case ObjectKind::Arp: return s.arps;
        case ObjectKind::Setup: return s.setups;
        case ObjectKind::Demo: return s.demos;
        case ObjectKind::Riff: return s.riffs;
        }
    }
    return 0;
}

std::optional<QByteArray> Module::objectName(ObjectKind kind, int simmId, int index) const
{
    if (index < 0 || index >= objectCount(kind, simmId))
        return std::nullopt;
    const auto named = state_.names.find({int(kind), simmId, index});
    QByteArray name;
    if (named != state_.names.end()) {
        name = named->second;
    } else {
        QString tag = profile_.userBankTag;
        for (const SimmDef& s : profile_.simms)
            if (s.id == simmId)
                tag = s.tag;
        const QString p = profile_.objectNamePatterns.at(QString::fromLatin1(KindKey(kind)));
        // By hand: QString::arg would fill a pattern without %1 ("Setup %2") with the tag.
        name = QString(p).replace(QLatin1String("%1"), tag)
                   .replace(QLatin1String("%2"), QStringLiteral("%1").arg(index, 3, 10, QLatin1Char('0')))
                   .toLatin1();
    }
    return name.leftJustified(16, ' ', true);
}

// ---- framing --------------------------------------------------------------------------------

void Module::Put14(QByteArray& out, int value)
{
    // Negative numbers travel as value + 0x4000, low 7 bits first.
    const int v = (value < 0 ? value + 0x4000 : value) & 0x3FFF;
    out.append(char(v & 0x7F));
    out.append(char(v >> 7));
}

int Module::Get14(const QByteArray& bytes, int at)
{
    if (at < 0 || at + 1 >= bytes.size())
        return 0;
    const int v = (uchar(bytes[at]) & 0x7F) | ((uchar(bytes[at + 1]) & 0x7F) << 7);
    return v > 8191 ? v - 16384 : v;
}

QByteArray Module::frame(int command, const QByteArray& data) const
{
    QByteArray m;
    m.append(char(0xF0));
    m.append(char(0x18));
    m.append(char(0x0F));
    m.append(char(deviceId_));
    m.append(char(0x55));
    m.append(char(command & 0x7F));
    m.append(data);
    m.append(char(0xF7));
    return m;
}

QByteArray Module::errorReply(int command, int subCode) const
{
    QByteArray data;
    Put14(data, command);
    Put14(data, subCode);
    return frame(0x70, data);
}

void Module::refuse(Exchange& ex, int command, int subCode, Refusal policy, const QString& why) const
{
    if (policy == Refusal::ErrorReply) {
        ex.replies.push_back(errorReply(command, subCode));
        ex.note = QStringLiteral("refused (%1): error %2").arg(why).arg(subCode);
    } else {
        ex.note = QStringLiteral("refused (%1): silence").arg(why);
    }
}

} // namespace sim
