#include "core/XMLDocument.h"

#include "core/MessageBox.h"

#include <QFile>
#include <QRegularExpression>
#include "platform/SafeFile.h"
#include <QStringDecoder>
#include <QStringEncoder>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace xmldetail {

// One parsed content. pugixml cannot hold a node outside the tree, so detached
// nodes (new ones, removed ones) live under a hidden element at the end of the
// document: moving a node there and back keeps its identity, and nothing is
// ever freed while a wrapper may still hold it. Every walk skips that element.
struct Tree {
    pugi::xml_document doc;
    pugi::xml_node limbo;
    std::weak_ptr<DocumentState> owner;

    pugi::xml_node Limbo()
    {
        if (!limbo)
            limbo = doc.append_child(pugi::node_element);
        return limbo;
    }
    bool IsLimbo(const pugi::xml_node& n) const { return limbo && n == limbo; }
    /// A node's parent as the DOM sees it: none for the root's document and for
    /// a detached node.
    pugi::xml_node VisibleParent(const pugi::xml_node& n) const
    {
        pugi::xml_node p = n.parent();
        return IsLimbo(p) ? pugi::xml_node() : p;
    }
    /// The top of the tree a node is in: the document, or the detached node
    /// that holds it.
    pugi::xml_node Island(pugi::xml_node n) const
    {
        for (pugi::xml_node x = n; x; x = x.parent())
            if (IsLimbo(x.parent()))
                return x;
        return doc;
    }
};

struct DocumentState {
    std::shared_ptr<Tree> tree;
    XMLParseError error;
};

} // namespace xmldetail

using xmldetail::DocumentState;
using xmldetail::Tree;

namespace {

constexpr unsigned kParseOptions = pugi::parse_full | pugi::parse_ws_pcdata;

std::string Utf8(QStringView s)
{
    return s.toString().toStdString();
}

QString FromUtf8(const char* s)
{
    return QString::fromUtf8(s);
}

std::shared_ptr<Tree> NewTree(const std::shared_ptr<DocumentState>& owner)
{
    auto tree = std::make_shared<Tree>();
    tree->owner = owner;
    return tree;
}

bool IsNameStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u':' || c.unicode() >= 0x80;
}

// XML names as the DOM accepts them for elements and attributes.
bool IsXmlName(QStringView name)
{
    if (name.isEmpty() || !IsNameStart(name.front()))
        return false;
    for (QChar c : name)
        if (!(IsNameStart(c) || c.isDigit() || c == u'.' || c == u'-') || c.isSpace())
            return false;
    return true;
}

// Counts the printf conversions of a format ("%%" is none).
int CountConversions(QStringView s)
{
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'%')
            continue;
        if (i + 1 < s.size() && s[i + 1] == u'%')
            ++i;
        else
            ++n;
    }
    return n;
}

// The length of the printf conversion that starts at s[i] == '%'.
qsizetype ConversionLength(QStringView s, qsizetype i)
{
    qsizetype j = i + 1;
    while (j < s.size() && QStringView(u"-+ #0123456789.lhIL").contains(s[j]))
        ++j;
    return std::min(j + 1, s.size()) - i;
}

std::span<const FormatArg> Take(std::span<const FormatArg> args, std::size_t& next, std::size_t count)
{
    const std::size_t from = std::min(next, args.size());
    const std::size_t n = std::min(count, args.size() - from);
    next += count;
    return args.subspan(from, n);
}

// Turns an XPath format into a query. A quoted literal that holds conversions
// becomes a variable bound to the formatted literal, so no value can end the
// literal early; an unquoted %s is bound the same way; an unquoted number is
// written in place, where it cannot be anything but a number.
std::string BuildQuery(QStringView format, std::span<const FormatArg> args, pugi::xpath_variable_set& vars)
{
    QString out;
    std::size_t next = 0;
    int variable = 0;
    auto bind = [&](const QString& value) {
        const std::string name = "p" + std::to_string(variable++);
        vars.set(name.c_str(), value.toStdString().c_str());
        out += u'$';
        out += QString::fromStdString(name);
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = format.indexOf(c, i + 1);
            if (end < 0) {
                out += format.mid(i);
                break;
            }
            const QStringView literal = format.mid(i + 1, end - i - 1);
            const int n = CountConversions(literal);
            if (n == 0)
                out += format.mid(i, end - i + 1);
            else
                bind(FormatV(literal, Take(args, next, std::size_t(n))));
            i = end + 1;
        } else if (c == u'%' && i + 1 < format.size() && format[i + 1] == u'%') {
            out += u'%';
            i += 2;
        } else if (c == u'%') {
            const qsizetype len = ConversionLength(format, i);
            const QStringView conversion = format.mid(i, len);
            const QString value = FormatV(conversion, Take(args, next, 1));
            if (conversion.endsWith(u'd') || conversion.endsWith(u'i') || conversion.endsWith(u'u'))
                out += value;
            else
                bind(value);
            i += len;
        } else {
            out += c;
            ++i;
        }
    }
    return out.toStdString();
}

// The selected nodes, in document order, or nothing for a malformed query or
// one that gives no node set. Nodes outside the context's own tree (detached
// nodes seen from the document, or the other way round) are dropped.
std::optional<pugi::xpath_node_set> Evaluate(const Tree& tree, const pugi::xml_node& context, QStringView format,
                                             std::span<const FormatArg> args, bool substitute)
{
    try {
        pugi::xpath_variable_set vars;
        const std::string text = substitute ? BuildQuery(format, args, vars) : Utf8(format);
        pugi::xpath_query query(text.c_str(), &vars);
        if (query.return_type() != pugi::xpath_type_node_set)
            return std::nullopt;
        pugi::xpath_node_set set = query.evaluate_node_set(context);
        set.sort();
        return set;
    } catch (const pugi::xpath_exception&) {
        return std::nullopt;
    }
}

struct TextCollector : pugi::xml_tree_walker {
    std::string text;
    bool for_each(pugi::xml_node& node) override
    {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            text += node.value();
        return true;
    }
};

struct ByteWriter : pugi::xml_writer {
    QByteArray out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), qsizetype(size)); }
};

// The document's nodes as UTF-8 text, one line break between top-level nodes
// (the parser keeps no white space outside the root).
QByteArray Serialise(const Tree& tree)
{
    ByteWriter writer;
    bool first = true;
    for (pugi::xml_node child = tree.doc.first_child(); child; child = child.next_sibling()) {
        if (tree.IsLimbo(child))
            continue;
        if (!first)
            writer.out += '\n';
        child.print(writer, PUGIXML_TEXT(""), pugi::format_raw, pugi::encoding_utf8);
        first = false;
    }
    if (!first)
        writer.out += '\n';
    return writer.out;
}

QString DeclaredEncoding(const Tree& tree)
{
    for (pugi::xml_node child = tree.doc.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_declaration)
            return FromUtf8(child.attribute("encoding").value()).trimmed();
    return QString();
}

bool IsUtf8Name(const QString& name)
{
    return name.isEmpty() || name.compare(u"UTF-8", Qt::CaseInsensitive) == 0 ||
           name.compare(u"UTF8", Qt::CaseInsensitive) == 0;
}

// The bytes to write for the serialised text, in the declared encoding. A
// declared encoding that cannot hold every character is replaced by UTF-8
// (and the declaration says so) rather than writing question marks.
QByteArray Encode(const QByteArray& utf8, const QString& encoding)
{
    if (IsUtf8Name(encoding))
        return utf8;
    const QString text = QString::fromUtf8(utf8);
    if (encoding.startsWith(u"UTF-16", Qt::CaseInsensitive) || encoding.compare(u"UCS-2", Qt::CaseInsensitive) == 0) {
        QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        return encoder.encode(text);
    }
    QStringEncoder encoder(encoding.toLatin1().constData());
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError() && QStringDecoder(encoding.toLatin1().constData()).decode(bytes) == text)
            return bytes;
    }
    QString fixed = text;
    static const QRegularExpression declared(QStringLiteral("^(<\\?xml[^>]*encoding\\s*=\\s*)([\"'])[^\"']*\\2"));
    fixed.replace(declared, QStringLiteral("\\1\\2UTF-8\\2"));
    return fixed.toUtf8();
}

// The offset of the first byte that is not part of well-formed UTF-8 (an
// overlong form, a surrogate or a code point above U+10FFFF included), or -1.
qsizetype FirstBadUtf8Byte(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        char32_t code = 0;
        char32_t least = 0;
        if ((c & 0xE0) == 0xC0) {
            more = 1, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return i;
        }
        if (i + more >= n)
            return i;
        for (int k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        i += more + 1;
    }
    return -1;
}

// Why a document's bytes cannot be read as text: the encoding named and the
// offset of the first byte that does not convert (-1 when the encoding itself
// is unknown).
struct EncodingFailure {
    QString encoding;
    qsizetype offset = -1;
};

// The file's bytes as UTF-8 for the parser: a UTF-8 byte-order mark dropped,
// UTF-16 (with a mark, or recognised by its first "<") and any other encoding
// the declaration names converted. Undeclared text is taken as UTF-8. Bytes
// that do not convert are a failure, never replaced: a document read with
// replacement characters would lose the originals when it is saved again.
std::optional<QByteArray> SourceAsUtf8(const QByteArray& raw, EncodingFailure& failure)
{
    auto startsWith = [&](std::initializer_list<unsigned char> bytes) {
        if (raw.size() < qsizetype(bytes.size()))
            return false;
        qsizetype i = 0;
        for (unsigned char b : bytes)
            if (static_cast<unsigned char>(raw[i++]) != b)
                return false;
        return true;
    };
    auto checkedUtf8 = [&](const QByteArray& utf8, qsizetype skipped) -> std::optional<QByteArray> {
        const qsizetype bad = FirstBadUtf8Byte(utf8);
        if (bad < 0)
            return utf8;
        failure.encoding = QStringLiteral("UTF-8");
        failure.offset = bad + skipped;
        return std::nullopt;
    };
    auto decoded = [&](QStringDecoder decoder, const QByteArray& bytes, const QString& name) -> std::optional<QByteArray> {
        const QString text = decoder(bytes);
        // Half a surrogate pair decodes without an error but has no UTF-8 form.
        bool unpaired = false;
        for (qsizetype i = 0; i < text.size() && !unpaired; ++i) {
            const char16_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
                ++i;
            else
                unpaired = QChar::isSurrogate(c);
        }
        if (!decoder.hasError() && !unpaired)
            return text.toUtf8();
        failure.encoding = name;
        failure.offset = 0;
        return std::nullopt;
    };
    if (startsWith({0xEF, 0xBB, 0xBF}))
        return checkedUtf8(raw.mid(3), 3);
    if (startsWith({0xFF, 0xFE}))
        return decoded(QStringDecoder(QStringConverter::Utf16LE), raw.mid(2), QStringLiteral("UTF-16"));
    if (startsWith({0xFE, 0xFF}))
        return decoded(QStringDecoder(QStringConverter::Utf16BE), raw.mid(2), QStringLiteral("UTF-16"));
    if (startsWith({'<', 0x00}))
        return decoded(QStringDecoder(QStringConverter::Utf16LE), raw, QStringLiteral("UTF-16"));
    if (startsWith({0x00, '<'}))
        return decoded(QStringDecoder(QStringConverter::Utf16BE), raw, QStringLiteral("UTF-16"));
    static const QRegularExpression declared(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch m = declared.match(QString::fromLatin1(raw.left(256)));
    if (m.hasMatch() && !IsUtf8Name(m.captured(1))) {
        const QString name = m.captured(1);
        // An encoding name is a letter followed by letters, digits, '.', '_'
        // and '-'. Anything else is refused before the converter's lookup,
        // which skips punctuation and would take a mangled name for another.
        static const QRegularExpression encName(QStringLiteral("^[A-Za-z][A-Za-z0-9._-]*$"));
        QStringDecoder decoder(encName.match(name).hasMatch() ? name.toLatin1().constData() : "");
        if (!decoder.isValid()) {
            failure.encoding = name;
            failure.offset = -1;
            return std::nullopt;
        }
        return decoded(std::move(decoder), raw, name);
    }
    return checkedUtf8(raw, 0);
}

// The failure record of a document whose bytes do not convert.
XMLParseError EncodingFailureDetails(const EncodingFailure& failure, const QByteArray& raw, const QString& url)
{
    XMLParseError e;
    e.errorCode = kXMLEncodingError;
    e.url = url;
    if (failure.offset < 0) {
        e.reason = QStringLiteral("The encoding \"%1\" named by the document cannot be read").arg(failure.encoding);
        return e;
    }
    e.reason = QStringLiteral("The document holds bytes that are not valid %1 text").arg(failure.encoding);
    if (failure.encoding == QStringLiteral("UTF-8")) {
        // Where: the text before the bad byte is good UTF-8.
        const QByteArray before = raw.left(failure.offset);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        qsizetype lineEnd = raw.indexOf('\n', failure.offset);
        if (lineEnd < 0)
            lineEnd = raw.size();
        const qsizetype bom = raw.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        e.filePosition = int(QString::fromUtf8(before.mid(bom)).size());
        e.line = int(before.count('\n')) + 1;
        e.linePosition = int(QString::fromUtf8(before.mid(std::max(lineStart, bom))).size()) + 1;
        e.sourceText = QString::fromUtf8(raw.mid(lineStart, lineEnd - lineStart)).trimmed();
    }
    return e;
}

XMLParseError DescribeFailure(const pugi::xml_parse_result& result, const QByteArray& utf8, const QString& url)
{
    XMLParseError e;
    e.errorCode = static_cast<int>(result.status);
    e.reason = FromUtf8(result.description());
    e.url = url;
    const qsizetype offset = std::clamp<qsizetype>(qsizetype(result.offset), 0, utf8.size());
    const qsizetype lineStart = offset == 0 ? 0 : utf8.lastIndexOf('\n', offset - 1) + 1;
    qsizetype lineEnd = utf8.indexOf('\n', lineStart);
    if (lineEnd < 0)
        lineEnd = utf8.size();
    e.filePosition = int(QString::fromUtf8(utf8.left(offset)).size());
    e.line = int(utf8.left(lineStart).count('\n')) + 1;
    e.linePosition = int(QString::fromUtf8(utf8.mid(lineStart, offset - lineStart)).size()) + 1;
    QString source = QString::fromUtf8(utf8.mid(lineStart, lineEnd - lineStart));
    if (source.endsWith(u'\r'))
        source.chop(1);
    e.sourceText = source;
    return e;
}

XMLParseError FileFailure(pugi::xml_parse_status status, const QString& path)
{
    pugi::xml_parse_result result;
    result.status = status;
    XMLParseError e;
    e.errorCode = static_cast<int>(status);
    e.reason = FromUtf8(result.description());
    e.url = path;
    return e;
}

int ParseInt32(const QString& value)
{
    const QString t = value.trimmed();
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (ok)
        return v;
    static const QRegularExpression fraction(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!fraction.match(t).hasMatch())
        return 0;
    const double d = std::nearbyint(t.toDouble(&ok)); // rounds half to even
    if (!ok || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(d);
}

} // namespace

// ---------------------------------------------------------------- XMLNode

XMLNode::XMLNode(std::shared_ptr<Tree> tree, pugi::xml_node node)
    : m_tree(node ? std::move(tree) : nullptr), m_node(node)
{
}

void XMLNode::Require() const
{
    if (IsNull())
        throw XMLError(XMLError::Pointer, "XML operation on a null node");
}

XMLNode XMLNode::GetFirstChild() const
{
    Require();
    pugi::xml_node child = m_node.first_child();
    if (m_tree->IsLimbo(child))
        child = child.next_sibling();
    return XMLNode(m_tree, child);
}

XMLNode XMLNode::GetNextSibling() const
{
    Require();
    if (m_tree->IsLimbo(m_node.parent()))
        return XMLNode(); // a detached node has no siblings
    pugi::xml_node next = m_node.next_sibling();
    if (m_tree->IsLimbo(next))
        next = next.next_sibling();
    return XMLNode(m_tree, next);
}

int XMLNode::GetNodeType() const
{
    Require();
    switch (m_node.type()) {
    case pugi::node_element:
        return XMLNodeElement;
    case pugi::node_pcdata:
        return XMLNodeText;
    case pugi::node_cdata:
        return XMLNodeCDATASection;
    case pugi::node_pi:
    case pugi::node_declaration:
        return XMLNodeProcessingInstruction;
    case pugi::node_comment:
        return XMLNodeComment;
    case pugi::node_document:
        return XMLNodeDocument;
    case pugi::node_doctype:
        return XMLNodeDocumentType;
    default:
        return XMLNodeInvalid;
    }
}

XMLNode XMLNode::Select(QStringView xpathFormat, std::span<const FormatArg> args, bool format) const
{
    Require();
    const auto set = Evaluate(*m_tree, m_node, xpathFormat, args, format);
    if (!set)
        return XMLNode();
    const pugi::xml_node island = m_tree->Island(m_node);
    for (const pugi::xpath_node& hit : *set)
        if (hit.node() && m_tree->Island(hit.node()) == island)
            return XMLNode(m_tree, hit.node());
    return XMLNode();
}

bool XMLNode::SelectAll(QStringView xpathFormat, std::span<const FormatArg> args, bool format,
                        std::vector<XMLNode>& out) const
{
    Require();
    const auto set = Evaluate(*m_tree, m_node, xpathFormat, args, format);
    if (!set)
        return false;
    const pugi::xml_node island = m_tree->Island(m_node);
    for (const pugi::xpath_node& hit : *set)
        if (hit.node().type() == pugi::node_element && m_tree->Island(hit.node()) == island)
            out.push_back(XMLNode(m_tree, hit.node()));
    return true;
}

XMLNode XMLNode::SelectSingleNode(QStringView xpath) const
{
    return Select(xpath, {}, false);
}

XMLNode XMLNode::SelectSingleNode(QStringView xpathFormat, std::initializer_list<FormatArg> args) const
{
    return Select(xpathFormat, std::span<const FormatArg>(args.begin(), args.size()), true);
}

bool XMLNode::SelectNodes(QStringView xpath, std::vector<XMLNode>& out) const
{
    return SelectAll(xpath, {}, false, out);
}

bool XMLNode::SelectNodes(QStringView xpathFormat, std::initializer_list<FormatArg> args, std::vector<XMLNode>& out) const
{
    return SelectAll(xpathFormat, std::span<const FormatArg>(args.begin(), args.size()), true, out);
}

bool XMLNode::GetChildNodes(std::vector<XMLNode>& out) const
{
    Require();
    for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && !m_tree->IsLimbo(child))
            out.push_back(XMLNode(m_tree, child));
    return true;
}

bool XMLNode::AppendChild(const XMLNode& child)
{
    Require();
    if (child.IsNull() || child.m_tree != m_tree || child.m_node.type() == pugi::node_document)
        return false;
    return bool(m_node.append_move(child.m_node));
}

bool XMLNode::RemoveChild(const XMLNode& child)
{
    Require();
    if (child.IsNull() || child.m_tree != m_tree || child.m_node.parent() != m_node || m_tree->IsLimbo(m_node))
        return false;
    return bool(m_tree->Limbo().append_move(child.m_node));
}

void XMLNode::RemoveFromParent()
{
    Require();
    if (m_tree->VisibleParent(m_node))
        m_tree->Limbo().append_move(m_node);
}

QString XMLNode::GetText() const
{
    Require();
    switch (m_node.type()) {
    case pugi::node_element:
    case pugi::node_document: {
        TextCollector collector;
        for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling()) {
            if (m_tree->IsLimbo(child))
                continue;
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                collector.text += child.value();
            else
                child.traverse(collector);
        }
        return QString::fromStdString(collector.text);
    }
    default:
        return FromUtf8(m_node.value());
    }
}

void XMLNode::SetText(QStringView text)
{
    Require();
    if (m_node.type() != pugi::node_element) {
        m_node.set_value(Utf8(text).c_str());
        return;
    }
    // The old children are detached, not destroyed: a wrapper may hold one.
    while (pugi::xml_node child = m_node.first_child())
        m_tree->Limbo().append_move(child);
    if (!text.isEmpty())
        m_node.append_child(pugi::node_pcdata).set_value(Utf8(text).c_str());
}

QString XMLNode::GetNodeName() const
{
    Require();
    switch (m_node.type()) {
    case pugi::node_pcdata:
        return QStringLiteral("#text");
    case pugi::node_cdata:
        return QStringLiteral("#cdata-section");
    case pugi::node_comment:
        return QStringLiteral("#comment");
    case pugi::node_document:
        return QStringLiteral("#document");
    case pugi::node_declaration:
        return QStringLiteral("xml");
    default:
        return FromUtf8(m_node.name());
    }
}

XMLDocument XMLNode::GetOwnerDocument() const
{
    if (IsNull() || m_node.type() != pugi::node_element)
        return XMLDocument();
    return XMLDocument(m_tree->owner.lock());
}

// ---------------------------------------------------------------- XMLElement

bool XMLElement::SetAttribute(QStringView name, QStringView text)
{
    if (!IsElement() || !IsXmlName(name))
        return false;
    const std::string key = Utf8(name);
    pugi::xml_attribute a = m_node.attribute(key.c_str());
    if (!a)
        a = m_node.append_attribute(key.c_str());
    return a && a.set_value(Utf8(text).c_str());
}

bool XMLElement::SetAttribute(QStringView name, int value)
{
    return SetAttribute(name, QString::number(value));
}

QString XMLElement::GetAttribute(QStringView name) const
{
    if (!IsElement())
        return QString();
    return FromUtf8(m_node.attribute(Utf8(name).c_str()).value());
}

int XMLElement::GetIntAttribute(QStringView name) const
{
    if (!IsElement())
        return 0;
    const pugi::xml_attribute a = m_node.attribute(Utf8(name).c_str());
    return a ? ParseInt32(FromUtf8(a.value())) : 0;
}

// ---------------------------------------------------------------- XMLDocument

void XMLDocument::Require() const
{
    if (IsNull())
        throw XMLError(XMLError::Pointer, "XML operation on a null document");
}

bool XMLDocument::Create()
{
    m_state = std::make_shared<DocumentState>();
    m_state->tree = NewTree(m_state);
    return true;
}

void XMLDocument::Close()
{
    m_state.reset();
}

bool XMLDocument::Parse(const QByteArray& utf8, const QString& url)
{
    auto tree = NewTree(m_state);
    const pugi::xml_parse_result result =
        tree->doc.load_buffer(utf8.constData(), size_t(utf8.size()), kParseOptions, pugi::encoding_utf8);
    if (result) {
        m_state->tree = std::move(tree);
        m_state->error = XMLParseError{};
        return true;
    }
    // As the DOM does, a failed load leaves the document empty.
    m_state->tree = NewTree(m_state);
    m_state->error = DescribeFailure(result, utf8, url);
    return false;
}

bool XMLDocument::Load(const QString& path)
{
    Require();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_state->tree = NewTree(m_state);
        m_state->error = FileFailure(file.exists() ? pugi::status_io_error : pugi::status_file_not_found, path);
        return false;
    }
    const QByteArray raw = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_state->tree = NewTree(m_state);
        m_state->error = FileFailure(pugi::status_io_error, path);
        return false;
    }
    EncodingFailure failure;
    const std::optional<QByteArray> utf8 = SourceAsUtf8(raw, failure);
    if (!utf8) {
        m_state->tree = NewTree(m_state);
        m_state->error = EncodingFailureDetails(failure, raw, path);
        return false;
    }
    return Parse(*utf8, path);
}

bool XMLDocument::LoadXML(QStringView text)
{
    Require();
    return Parse(text.toUtf8(), QString());
}

QString XMLDocument::GetXML() const
{
    Require();
    return QString::fromUtf8(Serialise(*m_state->tree));
}

bool XMLDocument::Save(const QString& path, QString* reason) const
{
    Require();
    const QByteArray bytes = Encode(Serialise(*m_state->tree), DeclaredEncoding(*m_state->tree));
    const platform::FileWriteResult written = platform::WriteFileWhole(path, bytes);
    if (!written && reason)
        *reason = written.reason;
    return bool(written);
}

XMLElement XMLDocument::GetDocumentElement() const
{
    Require();
    const Tree& tree = *m_state->tree;
    for (pugi::xml_node child = tree.doc.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && !tree.IsLimbo(child))
            return XMLNode(m_state->tree, child);
    return XMLElement();
}

XMLElement XMLDocument::CreateElement(QStringView tagName)
{
    Require();
    if (!IsXmlName(tagName))
        return XMLElement();
    pugi::xml_node node = m_state->tree->Limbo().append_child(Utf8(tagName).c_str());
    return XMLNode(m_state->tree, node);
}

XMLCDATASection XMLDocument::CreateCDATASection(QStringView text)
{
    Require();
    pugi::xml_node node = m_state->tree->Limbo().append_child(pugi::node_cdata);
    node.set_value(Utf8(text).c_str());
    return XMLNode(m_state->tree, node);
}

XMLParseError XMLDocument::GetParseError() const
{
    return m_state ? m_state->error : XMLParseError{};
}

QString XMLDocument::ErrorMessage(QStringView context) const
{
    if (IsNull())
        return Format(u"%s. MSXML may not be installed", context);
    const XMLParseError& e = m_state->error;
    if (e.errorCode == 0)
        return Format(u"%s", context);
    const QString details = Format(u"XML reports:\nError Code: %d\nFile Position: %d\nLine: %d\nLine Position: %d\n"
                                   u"Reason: %s\nSource Text: %s\nURL: %s\n",
                                   e.errorCode, e.filePosition, e.line, e.linePosition, e.reason, e.sourceText, e.url);
    return Format(u"%s. Parse Error. %s", context, details);
}

bool XMLDocument::ReportError(QStringView context, int level) const
{
    const QString message = ErrorMessage(context);
    if (level < 0)
        ShowMessage(nullptr, msgbox::Ok, true, kPlainText, message);
    return false;
}
