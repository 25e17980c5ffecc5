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

QByteArray ToLatin1Field(const QString& s) { return s.toLatin1(); }

// Reads the keys every profile must have (they all come from "common" unless a
// profile overrides them), so that no invented value hides in this code as a default.
class Reader {
public:
    explicit Reader(const QString& profile) : profile_(profile) {}

    QJsonValue need(const QJsonObject& o, const char* key, const char* where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            fail(QStringLiteral("missing %1%2").arg(QLatin1String(where), QLatin1String(key)));
        return v;
    }
    int integer(const QJsonObject& o, const char* key, const char* where = "",
                const std::map<QString, int>& names = {})
    {
        const QJsonValue v = need(o, key, where);
        if (v.isUndefined())
            return 0;
        const std::optional<int> n = ToInt(v, names);
        if (!n)
            fail(QStringLiteral("%1%2 is not a number").arg(QLatin1String(where), QLatin1String(key)));
        return n.value_or(0);
    }
    QString text(const QJsonObject& o, const char* key, const char* where = "")
    {
        const QJsonValue v = need(o, key, where);
        if (!v.isUndefined() && !v.isString())
            fail(QStringLiteral("%1%2 is not a text").arg(QLatin1String(where), QLatin1String(key)));
        return v.toString();
    }
    QJsonObject object(const QJsonObject& o, const char* key)
    {
        const QJsonValue v = need(o, key, "");
        if (!v.isUndefined() && !v.isObject())
            fail(QStringLiteral("%1 is not an object").arg(QLatin1String(key)));
        return v.toObject();
    }
    void fail(const QString& what)
    {
        if (error_.isEmpty())
            error_ = QStringLiteral("%1: %2").arg(profile_, what);
    }
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

private:
    QString profile_;
    QString error_;
};

std::optional<Refusal> ToRefusal(const QString& s)
{
    if (s == QLatin1String("error"))
        return Refusal::ErrorReply;
    if (s == QLatin1String("silence"))
        return Refusal::Silence;
    return std::nullopt;
}

bool Parse(const QString& name, const QJsonObject& o, Profile* p, QString* error)
{
    Reader r(name);
    p->name = name;
    p->raw = o;

    const QJsonObject id = r.object(o, "identity");
    p->identity.manufacturer = r.integer(id, "manufacturer", "identity.");
    p->identity.family = r.integer(id, "family", "identity.");
    p->identity.member = r.integer(id, "member", "identity.");
    p->identity.revision = ToLatin1Field(r.text(id, "revision", "identity."));
    if (r.ok() && p->identity.revision.size() != 4)
        r.fail(QStringLiteral("the revision must have 4 characters"));

    p->deviceId = r.integer(o, "deviceId");
    if (r.ok() && (p->deviceId < 0 || p->deviceId > 127))
        r.fail(QStringLiteral("device id %1 outside 0-127").arg(p->deviceId));
    p->channels = r.integer(o, "channels");
    if (r.ok() && p->channels != 16 && p->channels != 32)
        r.fail(QStringLiteral("channels must be 16 or 32"));

    const QJsonObject caps = r.object(o, "capabilities");
    for (auto it = caps.begin(); it != caps.end(); ++it)
        p->capabilities[it.key()] = it->toBool();

    p->userPresets = r.integer(o, "userPresets");
    p->userArps = r.integer(o, "userArps");
    p->userSetups = r.integer(o, "userSetups");
    p->userTunings = r.integer(o, "userTunings");
    p->userBankTag = r.text(o, "userBankTag");

    const QJsonObject hw = r.object(o, "hardwareConfig");
    p->hardwareConfigUnusedByte = r.integer(hw, "unusedByte", "hardwareConfig.") & 0x7F;
    p->simmRecordLength = r.integer(hw, "recordLength", "hardwareConfig.");
    if (r.ok() && (p->simmRecordLength < 6 || p->simmRecordLength > 127))
        r.fail(QStringLiteral("SIMM record length must be 6-127"));

    for (const QJsonValue& v : r.need(o, "simms", "").toArray()) {
        const QJsonObject s = v.toObject();
        SimmDef simm;
        simm.id = r.integer(s, "id", "simms[].");
        simm.name = r.text(s, "name", "simms[].");
        simm.tag = r.text(s, "tag", "simms[].");
        simm.presets = r.integer(s, "presets", "simms[].");
        simm.instruments = r.integer(s, "instruments", "simms[].");
        // A ROM without arps, demos, setups or riffs may leave them out.
        simm.arps = s.value(QStringLiteral("arps")).toInt(0);
        simm.demos = s.value(QStringLiteral("demos")).toInt(0);
        simm.setups = s.value(QStringLiteral("setups")).toInt(0);
        simm.riffs = s.value(QStringLiteral("riffs")).toInt(0);
        p->simms.push_back(simm);
    }

    const QJsonObject names = r.object(o, "objectNames");
    for (const char* kind : {"preset", "instrument", "arp", "setup", "demo", "riff"})
        p->objectNamePatterns[QLatin1String(kind)] = r.text(names, kind, "objectNames.");

    const QJsonObject lcd = r.object(o, "lcd");
    p->lcd.columns = r.integer(lcd, "columns", "lcd.");
    for (const QJsonValue& c : r.need(lcd, "characterTable", "lcd.").toArray())
        p->lcd.characterTable.append(char(c.toInt() & 0x7F));
    const QJsonArray rows = r.need(lcd, "rows", "lcd.").toArray();
    if (r.ok() && rows.size() != 2)
        r.fail(QStringLiteral("lcd.rows must hold two rows"));
    for (int i = 0; i < 2 && i < rows.size(); ++i)
        p->lcd.rows[i] = ToLatin1Field(rows.at(i).toString()).leftJustified(p->lcd.columns, ' ', true);

    const QJsonObject timing = r.object(o, "timing");
    p->timing.baud = r.integer(timing, "baud", "timing.");
    p->timing.bitsPerByte = r.integer(timing, "bitsPerByte", "timing.");
    if (r.ok() && (p->timing.baud <= 0 || p->timing.bitsPerByte <= 0))
        r.fail(QStringLiteral("bad serial line timing"));
    const QJsonObject processing = r.object(timing, "processingMicros");
    p->timing.defaultProcessing = SimTime(r.integer(processing, "default", "timing.processingMicros."));
    for (auto it = processing.begin(); it != processing.end(); ++it) {
        const std::optional<int> us = ToInt(*it);
        if (!us || *us < 0) {
            r.fail(QStringLiteral("bad processing time for \"%1\"").arg(it.key()));
            continue;
        }
        if (it.key() == QLatin1String("default"))
            continue;
        const std::optional<int> route
            = it.key() == QLatin1String("identity") ? kRouteIdentityRequest : ToInt(QJsonValue(it.key()));
        if (!route)
            r.fail(QStringLiteral("bad route \"%1\" in processingMicros").arg(it.key()));
        else
            p->timing.processingByRoute[*route] = SimTime(*us);
    }

    const QJsonObject subs = r.object(o, "errorSubCodes");
    p->errorSubCodes.unknownCommand = r.integer(subs, "unknownCommand", "errorSubCodes.");
    p->errorSubCodes.unknownParameter = r.integer(subs, "unknownParameter", "errorSubCodes.");
    p->errorSubCodes.malformed = r.integer(subs, "malformed", "errorSubCodes.");
    p->errorSubCodes.readOnly = r.integer(subs, "readOnly", "errorSubCodes.");
    p->errorSubCodes.outOfRange = r.integer(subs, "outOfRange", "errorSubCodes.");

    const QJsonObject pol = r.object(o, "policies");
    for (auto [key, out] : {std::pair{"unknownCommand", &p->policies.unknownCommand},
                            std::pair{"unknownParameter", &p->policies.unknownParameter},
                            std::pair{"malformed", &p->policies.malformed}}) {
        const std::optional<Refusal> refusal = ToRefusal(r.text(pol, key, "policies."));
        if (refusal)
            *out = *refusal;
        else if (r.ok())
            r.fail(QStringLiteral("policy %1 must be \"error\" or \"silence\"").arg(QLatin1String(key)));
    }
    const QString range = r.text(pol, "outOfRangeEdit", "policies.");
    if (range == QLatin1String("clamp"))
        p->policies.outOfRangeEdit = OutOfRange::Clamp;
    else if (range == QLatin1String("ignore"))
        p->policies.outOfRangeEdit = OutOfRange::Ignore;
    else if (range == QLatin1String("error"))
        p->policies.outOfRangeEdit = OutOfRange::ErrorReply;
    else if (r.ok())
        r.fail(QStringLiteral("policy outOfRangeEdit must be \"clamp\", \"ignore\" or \"error\""));
    const QString ro = r.text(pol, "readOnlyEdit", "policies.");
    if (ro == QLatin1String("ignore"))
        p->policies.readOnlyEdit = ReadOnlyEdit::Ignore;
    else if (ro == QLatin1String("error"))
        p->policies.readOnlyEdit = ReadOnlyEdit::ErrorReply;
    else if (r.ok())
        r.fail(QStringLiteral("policy readOnlyEdit must be \"ignore\" or \"error\""));

    if (!r.ok())
        return Fail(error, r.error());

    const std::map<QString, int> limits{
        {QStringLiteral("channels"), p->channels},
        {QStringLiteral("lastChannel"), p->channels - 1},
        {QStringLiteral("lastUserPreset"), p->userPresets - 1},
    };

    const QJsonObject scopes = r.object(o, "scopes");
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
        return Fail(error, QStringLiteral("%1: missing scope \"global\"").arg(name));

    for (const QJsonValue& v : r.need(o, "parameters", "").toArray()) {
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
            ParameterDef param;
            param.id = list[i];
            param.minimum = *min;
            param.maximum = *max;
            param.defaultValue = hasText ? (int(i) < text.size() ? int(uchar(text[int(i)])) : ' ') : def;
            param.startValue = param.defaultValue;
            param.readOnly = row.value(QStringLiteral("readOnly")).toBool(false);
            param.scope = scope;
            p->parameters[param.id] = param;
        }
    }

    const QJsonObject values = o.value(QStringLiteral("values")).toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const std::optional<int> pid = ToInt(QJsonValue(it.key()));
        const std::optional<int> value = ToInt(*it, limits);
        if (!pid || !value)
            return Fail(error, QStringLiteral("%1: bad start value \"%2\"").arg(name, it.key()));
        // A start value for a parameter the module lacks (a capability is off) is simply unused.
        if (auto param = p->parameters.find(*pid); param != p->parameters.end())
            param->second.startValue = *value;
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

const ParameterDef* Profile::parameter(int id) const
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
