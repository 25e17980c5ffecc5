#include "sim/Profile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

namespace sim {

namespace {

const char* const kDataFile = ":/sim/profiles.json";

bool Fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

std::optional<QJsonObject> ReadDataFile(QString* error)
{
    QFile file(QString::fromLatin1(kDataFile));
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(error, QStringLiteral("cannot open %1").arg(QString::fromLatin1(kDataFile)));
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (doc.isNull() || !doc.isObject()) {
        Fail(error, QStringLiteral("profiles.json: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
        return std::nullopt;
    }
    return doc.object().value(QStringLiteral("profiles")).toObject();
}

// Objects merge key by key; everything else is replaced, except the parameter rows,
// which add up so that a derived profile only lists what it changes.
QJsonObject Merge(const QJsonObject& base, const QJsonObject& over)
{
    QJsonObject out = base;
    for (auto it = over.begin(); it != over.end(); ++it) {
        const QString key = it.key();
        if (key == QLatin1String("base"))
            continue;
        if (key == QLatin1String("parameters") && out.value(key).isArray() && it->isArray()) {
            QJsonArray rows = out.value(key).toArray();
            for (const QJsonValue& row : it->toArray())
                rows.append(row);
            out.insert(key, rows);
        } else if (it->isObject() && out.value(key).isObject()) {
            out.insert(key, Merge(out.value(key).toObject(), it->toObject()));
        } else {
            out.insert(key, *it);
        }
    }
    return out;
}

std::optional<QJsonObject> Resolve(const QJsonObject& profiles, QJsonObject leaf, QString* error)
{
    std::vector<QJsonObject> chain{leaf};
    QStringList seen;
    while (true) {
        const QString base = chain.back().value(QStringLiteral("base")).toString();
        if (base.isEmpty())
            break;
        if (seen.contains(base)) {
            Fail(error, QStringLiteral("profile base cycle at \"%1\"").arg(base));
            return std::nullopt;
        }
        seen << base;
        if (!profiles.contains(base)) {
            Fail(error, QStringLiteral("unknown base profile \"%1\"").arg(base));
            return std::nullopt;
        }
        chain.push_back(profiles.value(base).toObject());
    }
    QJsonObject merged;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        merged = Merge(merged, *it);
    return merged;
}

// Integers may be written as numbers or as "0x.." texts; named limits are resolved by the caller.
std::optional<int> ToInt(const QJsonValue& v, const std::map<QString, int>& names = {})
{
    if (v.isDouble())
        return v.toInt();
    if (v.isString()) {
        const QString s = v.toString();
        if (auto it = names.find(s); it != names.end())
            return it->second;
        bool ok = false;
        const int n = s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? s.mid(2).toInt(&ok, 16) : s.toInt(&ok);
        if (ok)
            return n;
    }
    return std::nullopt;
}

// "a", "a-b" or "a-b/step".
bool ParseIds(const QString& text, std::vector<int>* ids)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*(?:/\\s*(\\d+))?)?\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    const int first = m.captured(1).toInt();
    const int last = m.captured(2).isEmpty() ? first : m.captured(2).toInt();
    const int step = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    if (last < first || step < 1)
        return false;
    for (int id = first; id <= last; id += step)
        ids->push_back(id);
    return true;
}

std::optional<Refusal> ToRefusal(const QString& s)
{
    if (s == QLatin1String("error"))
        return Refusal::ErrorReply;
    if (s == QLatin1String("silence"))
        return Refusal::Silence;
    return std::nullopt;
}

QByteArray ToLatin1Field(const QString& s) { return s.toLatin1(); }

bool Parse(const QString& name, const QJsonObject& o, Profile* p, QString* error)
{
    p->name = name;
    p->raw = o;

    const QJsonObject id = o.value(QStringLiteral("identity")).toObject();
    p->identity.manufacturer = id.value(QStringLiteral("manufacturer")).toInt(0x18);
    p->identity.family = id.value(QStringLiteral("family")).toInt(516);
    p->identity.member = id.value(QStringLiteral("member")).toInt(3);
    p->identity.revision = ToLatin1Field(id.value(QStringLiteral("revision")).toString(QStringLiteral("2.26")));
    if (p->identity.revision.size() != 4)
        return Fail(error, QStringLiteral("%1: the revision must have 4 characters").arg(name));

    p->deviceId = o.value(QStringLiteral("deviceId")).toInt(0);
    if (p->deviceId < 0 || p->deviceId > 127)
        return Fail(error, QStringLiteral("%1: device id %2 outside 0-127").arg(name).arg(p->deviceId));
    p->channels = o.value(QStringLiteral("channels")).toInt(32);
    if (p->channels != 16 && p->channels != 32)
        return Fail(error, QStringLiteral("%1: channels must be 16 or 32").arg(name));

    const QJsonObject caps = o.value(QStringLiteral("capabilities")).toObject();
    for (auto it = caps.begin(); it != caps.end(); ++it)
        p->capabilities[it.key()] = it->toBool();

    p->userPresets = o.value(QStringLiteral("userPresets")).toInt(0);
    p->userArps = o.value(QStringLiteral("userArps")).toInt(0);
    p->userSetups = o.value(QStringLiteral("userSetups")).toInt(0);
    p->userTunings = o.value(QStringLiteral("userTunings")).toInt(0);

    const QJsonObject hw = o.value(QStringLiteral("hardwareConfig")).toObject();
    p->hardwareConfigUnusedByte = hw.value(QStringLiteral("unusedByte")).toInt(0) & 0x7F;
    p->simmRecordLength = hw.value(QStringLiteral("recordLength")).toInt(6);
    if (p->simmRecordLength < 6 || p->simmRecordLength > 127)
        return Fail(error, QStringLiteral("%1: SIMM record length must be 6-127").arg(name));

    for (const QJsonValue& v : o.value(QStringLiteral("simms")).toArray()) {
        const QJsonObject s = v.toObject();
        SimmSpec simm;
        simm.id = s.value(QStringLiteral("id")).toInt();
        simm.name = s.value(QStringLiteral("name")).toString();
        simm.tag = s.value(QStringLiteral("tag")).toString(simm.name.left(3));
        simm.presets = s.value(QStringLiteral("presets")).toInt();
        simm.instruments = s.value(QStringLiteral("instruments")).toInt();
        simm.arps = s.value(QStringLiteral("arps")).toInt();
        simm.demos = s.value(QStringLiteral("demos")).toInt();
        simm.setups = s.value(QStringLiteral("setups")).toInt();
        simm.riffs = s.value(QStringLiteral("riffs")).toInt();
        p->simms.push_back(simm);
    }

    const QJsonObject names = o.value(QStringLiteral("objectNames")).toObject();
    for (auto it = names.begin(); it != names.end(); ++it)
        p->objectNamePatterns[it.key()] = it->toString();

    const QJsonObject lcd = o.value(QStringLiteral("lcd")).toObject();
    p->lcd.columns = lcd.value(QStringLiteral("columns")).toInt(24);
    for (const QJsonValue& c : lcd.value(QStringLiteral("characterTable")).toArray())
        p->lcd.characterTable.append(char(c.toInt() & 0x7F));
    const QJsonArray rows = lcd.value(QStringLiteral("rows")).toArray();
    for (int r = 0; r < 2; ++r)
        p->lcd.rows[r] = ToLatin1Field(rows.at(r).toString()).leftJustified(p->lcd.columns, ' ', true);

    const QJsonObject timing = o.value(QStringLiteral("timing")).toObject();
    p->timing.baud = timing.value(QStringLiteral("baud")).toInt(31250);
    p->timing.bitsPerByte = timing.value(QStringLiteral("bitsPerByte")).toInt(10);
    if (p->timing.baud <= 0 || p->timing.bitsPerByte <= 0)
        return Fail(error, QStringLiteral("%1: bad serial line timing").arg(name));
    const QJsonObject processing = timing.value(QStringLiteral("processingMicros")).toObject();
    for (auto it = processing.begin(); it != processing.end(); ++it) {
        const std::optional<int> us = ToInt(*it);
        if (!us || *us < 0)
            return Fail(error, QStringLiteral("%1: bad processing time for \"%2\"").arg(name, it.key()));
        if (it.key() == QLatin1String("default")) {
            p->timing.defaultProcessing = SimTime(*us);
        } else if (it.key() == QLatin1String("identity")) {
            p->timing.processingByRoute[kRouteIdentityRequest] = SimTime(*us);
        } else {
            const std::optional<int> route = ToInt(QJsonValue(it.key()));
            if (!route)
                return Fail(error, QStringLiteral("%1: bad route \"%2\" in processingMicros").arg(name, it.key()));
            p->timing.processingByRoute[*route] = SimTime(*us);
        }
    }

    const QJsonObject subs = o.value(QStringLiteral("errorSubCodes")).toObject();
    p->errorSubCodes.unknownCommand = subs.value(QStringLiteral("unknownCommand")).toInt(1);
    p->errorSubCodes.unknownParameter = subs.value(QStringLiteral("unknownParameter")).toInt(2);
    p->errorSubCodes.malformed = subs.value(QStringLiteral("malformed")).toInt(3);
    p->errorSubCodes.readOnly = subs.value(QStringLiteral("readOnly")).toInt(4);
    p->errorSubCodes.outOfRange = subs.value(QStringLiteral("outOfRange")).toInt(5);

    const QJsonObject pol = o.value(QStringLiteral("policies")).toObject();
    auto refusal = [&](const char* key, Refusal* out) {
        const QString s = pol.value(QLatin1String(key)).toString(QStringLiteral("error"));
        const std::optional<Refusal> r = ToRefusal(s);
        if (!r)
            return Fail(error, QStringLiteral("%1: policy %2 must be \"error\" or \"silence\"").arg(name, QLatin1String(key)));
        *out = *r;
        return true;
    };
    if (!refusal("unknownCommand", &p->policies.unknownCommand) || !refusal("unknownParameter", &p->policies.unknownParameter)
        || !refusal("malformed", &p->policies.malformed))
        return false;
    const QString range = pol.value(QStringLiteral("outOfRangeEdit")).toString(QStringLiteral("clamp"));
    if (range == QLatin1String("clamp"))
        p->policies.outOfRangeEdit = OutOfRange::Clamp;
    else if (range == QLatin1String("ignore"))
        p->policies.outOfRangeEdit = OutOfRange::Ignore;
    else if (range == QLatin1String("error"))
        p->policies.outOfRangeEdit = OutOfRange::ErrorReply;
    else
        return Fail(error, QStringLiteral("%1: policy outOfRangeEdit must be \"clamp\", \"ignore\" or \"error\"").arg(name));
    const QString ro = pol.value(QStringLiteral("readOnlyEdit")).toString(QStringLiteral("ignore"));
    if (ro == QLatin1String("ignore"))
        p->policies.readOnlyEdit = ReadOnlyEdit::Ignore;
    else if (ro == QLatin1String("error"))
        p->policies.readOnlyEdit = ReadOnlyEdit::ErrorReply;
    else
        return Fail(error, QStringLiteral("%1: policy readOnlyEdit must be \"ignore\" or \"error\"").arg(name));

    const std::map<QString, int> limits{
        {QStringLiteral("channels"), p->channels},
        {QStringLiteral("lastChannel"), p->channels - 1},
        {QStringLiteral("lastUserPreset"), p->userPresets - 1},
    };

    const QJsonObject scopes = o.value(QStringLiteral("scopes")).toObject();
    for (auto it = scopes.begin(); it != scopes.end(); ++it) {
        std::vector<ScopeSelector> selectors;
        for (const QJsonValue& v : it->toArray()) {
            const QJsonObject s = v.toObject();
            ScopeSelector sel;
            const std::optional<int> selector = ToInt(s.value(QStringLiteral("selector")));
            const std::optional<int> count = ToInt(s.value(QStringLiteral("count")), limits);
            if (!selector || !count || *count < 1)
                return Fail(error, QStringLiteral("%1: bad selector in scope \"%2\"").arg(name, it.key()));
            sel.selector = *selector;
            sel.count = *count;
            if (s.contains(QStringLiteral("all")))
                sel.all = ToInt(s.value(QStringLiteral("all")));
            selectors.push_back(sel);
        }
        p->scopes[it.key()] = selectors;
    }
    if (!p->scopes.count(QStringLiteral("global")))
        p->scopes[QStringLiteral("global")] = {};

    for (const QJsonValue& v : o.value(QStringLiteral("parameters")).toArray()) {
        const QJsonObject row = v.toObject();
        const QString ids = row.value(QStringLiteral("ids")).toString();
        std::vector<int> list;
        if (!ParseIds(ids, &list))
            return Fail(error, QStringLiteral("%1: bad parameter ids \"%2\"").arg(name, ids));
        const QString needs = row.value(QStringLiteral("requires")).toString();
        if (!needs.isEmpty() && !p->has(needs))
            continue;
        const std::optional<int> min = ToInt(row.value(QStringLiteral("min")), limits);
        const std::optional<int> max = ToInt(row.value(QStringLiteral("max")), limits);
        if (!min || !max || *min > *max)
            return Fail(error, QStringLiteral("%1: bad range for parameters \"%2\"").arg(name, ids));
        const QString scope = row.value(QStringLiteral("scope")).toString(QStringLiteral("global"));
        if (!p->scopes.count(scope))
            return Fail(error, QStringLiteral("%1: unknown scope \"%2\"").arg(name, scope));
        const QByteArray text = ToLatin1Field(row.value(QStringLiteral("text")).toString());
        const bool hasText = row.contains(QStringLiteral("text"));
        const int def = ToInt(row.value(QStringLiteral("default")), limits).value_or(*min);
        for (std::size_t i = 0; i < list.size(); ++i) {
            ParameterSpec spec;
            spec.id = list[i];
            spec.minimum = *min;
            spec.maximum = *max;
            spec.defaultValue = hasText ? (int(i) < text.size() ? int(uchar(text[int(i)])) : ' ') : def;
            spec.startValue = spec.defaultValue;
            spec.readOnly = row.value(QStringLiteral("readOnly")).toBool(false);
            spec.scope = scope;
            p->parameters[spec.id] = spec;
        }
    }

    const QJsonObject values = o.value(QStringLiteral("values")).toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const std::optional<int> id = ToInt(QJsonValue(it.key()));
        const std::optional<int> value = ToInt(*it, limits);
        if (!id || !value)
            return Fail(error, QStringLiteral("%1: bad start value \"%2\"").arg(name, it.key()));
        // A start value for a parameter the module lacks (a capability is off) is simply unused.
        if (auto p2 = p->parameters.find(*id); p2 != p->parameters.end())
            p2->second.startValue = *value;
    }
    return true;
}

} // namespace

SimTime Timing::processing(int route) const
{
    const auto it = processingByRoute.find(route);
    return it == processingByRoute.end() ? defaultProcessing : it->second;
}

bool Profile::has(const QString& capability) const
{
    const auto it = capabilities.find(capability);
    return it != capabilities.end() && it->second;
}

const ParameterSpec* Profile::parameter(int id) const
{
    const auto it = parameters.find(id);
    return it == parameters.end() ? nullptr : &it->second;
}

std::optional<Profile> Profile::load(const QString& name, QString* error)
{
    const std::optional<QJsonObject> profiles = ReadDataFile(error);
    if (!profiles)
        return std::nullopt;
    if (!profiles->contains(name)) {
        Fail(error, QStringLiteral("unknown profile \"%1\"").arg(name));
        return std::nullopt;
    }
    const std::optional<QJsonObject> merged = Resolve(*profiles, profiles->value(name).toObject(), error);
    if (!merged)
        return std::nullopt;
    Profile p;
    if (!Parse(name, *merged, &p, error))
        return std::nullopt;
    return p;
}

std::optional<Profile> Profile::fromJson(QByteArrayView json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toByteArray(), &parseError);
    if (doc.isNull() || !doc.isObject()) {
        Fail(error, QStringLiteral("profile literal: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
        return std::nullopt;
    }
    QJsonObject leaf = doc.object();
    if (!leaf.contains(QStringLiteral("base")))
        leaf.insert(QStringLiteral("base"), QStringLiteral("common"));
    const QString label = QStringLiteral("literal on %1").arg(leaf.value(QStringLiteral("base")).toString());
    const std::optional<QJsonObject> profiles = ReadDataFile(error);
    if (!profiles)
        return std::nullopt;
    const std::optional<QJsonObject> merged = Resolve(*profiles, leaf, error);
    if (!merged)
        return std::nullopt;
    Profile p;
    if (!Parse(label, *merged, &p, error))
        return std::nullopt;
    return p;
}

QStringList Profile::names()
{
    const std::optional<QJsonObject> profiles = ReadDataFile(nullptr);
    return profiles ? profiles->keys() : QStringList();
}

} // namespace sim
