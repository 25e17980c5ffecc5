#include "sim/Harness.h"

namespace sim {

std::unique_ptr<Harness> Harness::fromProfile(const QString& name, QString* error)
{
    std::optional<Profile> p = Profile::load(name, error);
    return p ? std::make_unique<Harness>(std::move(*p)) : nullptr;
}

std::unique_ptr<Harness> Harness::fromJson(QByteArrayView json, QString* error)
{
    std::optional<Profile> p = Profile::fromJson(json, error);
    return p ? std::make_unique<Harness>(std::move(*p)) : nullptr;
}

std::vector<QByteArray> Harness::exchange(const QByteArray& request)
{
    runner_.send(request);
    std::vector<QByteArray> out;
    for (const Delivery& d : runner_.runUntilIdle())
        if (d.kind == EntryKind::Message)
            out.push_back(d.bytes);
    return out;
}

} // namespace sim
