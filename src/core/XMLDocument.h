#pragma once
// Value wrappers through which every XML file of the program is read, queried,
// edited and written: XMLNode, XMLElement, XMLCDATASection and XMLDocument.
//
// A wrapper is either null ("not found") or shares one node of a document, so
// document code reads as a chain of look-ups with a null test after each step:
//
//     XMLElement device = root.SelectSingleNode(u"./DEVICE[@ID='%s']", {name});
//     if (device.IsNull()) return false;
//
// Failures come back as a null wrapper, false or the empty text; only
// XMLDocument::ReportError shows and logs. Using a null wrapper for anything
// but the attribute calls throws XMLError (XMLError::Pointer).
//
// Nodes keep their document's storage alive, so a wrapper stays valid after
// the document is closed or reloaded; it then belongs to the old content.
// Removed and newly created nodes are detached: they belong to no tree until
// they are appended, and can be appended again after a removal.

#include "core/Format.h"

#include <QString>
#include <QStringView>

#include <pugixml.hpp>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

/// Node type numbers as the DOM numbers them.
enum XMLNodeType : int {
    XMLNodeInvalid = 0,
    XMLNodeElement = 1,
    XMLNodeAttribute = 2,
    XMLNodeText = 3,
    XMLNodeCDATASection = 4,
    XMLNodeProcessingInstruction = 7,
    XMLNodeComment = 8,
    XMLNodeDocument = 9,
    XMLNodeDocumentType = 10,
};

/// Misuse of a wrapper: an operation on a null node or document.
class XMLError : public std::logic_error {
public:
    /// The code the DOM gives for a null pointer (E_POINTER).
    static constexpr std::uint32_t Pointer = 0x80004003u;

    XMLError(std::uint32_t code, const char* what) : std::logic_error(what), m_code(code) {}
    std::uint32_t Code() const { return m_code; }

private:
    std::uint32_t m_code;
};

class XMLDocument;
namespace xmldetail {
struct Tree;
struct DocumentState;
} // namespace xmldetail

class XMLNode {
public:
    XMLNode() = default;
    virtual ~XMLNode() = default;
    XMLNode(const XMLNode&) = default;
    XMLNode& operator=(const XMLNode&) = default;

    bool IsNull() const { return !m_node; }
    explicit operator bool() const { return !IsNull(); }
    /// True when both wrappers hold the same node (or both are null).
    bool IsSameNode(const XMLNode& other) const { return m_node == other.m_node; }

    /// The first child; null when there is none.
    XMLNode GetFirstChild() const;
    /// The next sibling; null when there is none.
    XMLNode GetNextSibling() const;
    /// An XMLNodeType number.
    int GetNodeType() const;

    /// The first node (in document order) that the XPath expression selects
    /// relative to this node; null when nothing matches, the expression is
    /// malformed, or it selects no nodes (a number, an attribute).
    XMLNode SelectSingleNode(QStringView xpath) const;
    /// As above with the printf conversions of xpathFormat filled from args.
    /// A quoted literal holding conversions ("[@ID='%s']") is bound as an XPath
    /// variable rather than pasted in, so a value with quotes or brackets is
    /// compared as it stands and can never change the query.
    XMLNode SelectSingleNode(QStringView xpathFormat, std::initializer_list<FormatArg> args) const;
    /// Appends every selected element, in document order; other node kinds are
    /// skipped. False when the expression is malformed or selects no node set;
    /// true otherwise, also when nothing matched.
    bool SelectNodes(QStringView xpath, std::vector<XMLNode>& out) const;
    bool SelectNodes(QStringView xpathFormat, std::initializer_list<FormatArg> args, std::vector<XMLNode>& out) const;
    /// Appends every child that is an element, in order; true.
    bool GetChildNodes(std::vector<XMLNode>& out) const;

    /// Appends child (detached, or moved from its place in the same document) as
    /// the last child. False for a null child, a child of another document, a
    /// node that cannot hold children, or a child that is this node or holds it.
    bool AppendChild(const XMLNode& child);
    /// Detaches child; false when it is not a child of this node.
    bool RemoveChild(const XMLNode& child);
    /// Detaches this node from its parent when it has one.
    void RemoveFromParent();

    /// The text of every text and CDATA node below this one, in document
    /// order (the node's own value for text, CDATA, comment and PI nodes).
    QString GetText() const;
    /// Replaces an element's children by one text node (none for an empty
    /// text); sets the value of a text, CDATA, comment or PI node.
    void SetText(QStringView text);
    /// The element's tag; "#text", "#cdata-section", "#comment" for the others.
    QString GetNodeName() const;

    /// The document the node belongs to; null for a null node or a node that is
    /// not an element.
    XMLDocument GetOwnerDocument() const;

protected:
    friend class XMLDocument;
    XMLNode(std::shared_ptr<xmldetail::Tree> tree, pugi::xml_node node);
    void Require() const;
    XMLNode Select(QStringView xpathFormat, std::span<const FormatArg> args, bool format) const;
    bool SelectAll(QStringView xpathFormat, std::span<const FormatArg> args, bool format, std::vector<XMLNode>& out) const;

    std::shared_ptr<xmldetail::Tree> m_tree;
    pugi::xml_node m_node;
};

class XMLElement : public XMLNode {
public:
    XMLElement() = default;
    /// Shares node's node; attribute calls fail when it is not an element.
    XMLElement(const XMLNode& node) : XMLNode(node) {}
    ~XMLElement() override = default;

    bool IsElement() const { return m_node.type() == pugi::node_element; }

    /// Sets the attribute; false when this is not an element or the name is not
    /// an XML name.
    bool SetAttribute(QStringView name, QStringView text);
    bool SetAttribute(QStringView name, const QString& text) { return SetAttribute(name, QStringView(text)); }
    bool SetAttribute(QStringView name, const char16_t* text) { return SetAttribute(name, QStringView(text)); }
    /// Stores the integer as its decimal text.
    bool SetAttribute(QStringView name, int value);
    /// The attribute's text; empty when missing or this is not an element.
    QString GetAttribute(QStringView name) const;
    /// The attribute as a 32-bit integer: decimal text with optional sign and
    /// surrounding blanks, or a decimal fraction rounded half to even; 0 when
    /// missing, not a number, or out of range.
    int GetIntAttribute(QStringView name) const;
};

class XMLCDATASection : public XMLNode {
public:
    XMLCDATASection() = default;
    XMLCDATASection(const XMLNode& node) : XMLNode(node) {}
    ~XMLCDATASection() override = default;
};

/// The error code of a document whose text does not convert from the
/// encoding it is in (or names an encoding that cannot be read).
inline constexpr int kXMLEncodingError = 100;

/// The details of the last load, as XMLDocument::ReportError prints them.
struct XMLParseError {
    int errorCode = 0;      ///< 0 after a good load; else the parser's status
    int filePosition = -1;  ///< characters before the error
    int line = -1;          ///< 1-based
    int linePosition = -1;  ///< 1-based column, in characters
    QString reason;
    QString sourceText;     ///< the text of the line that holds the error
    QString url;            ///< the file path for Load, empty for LoadXML
};

class XMLDocument {
public:
    XMLDocument() = default;
    virtual ~XMLDocument() { Close(); }
    XMLDocument(const XMLDocument&) = default;
    XMLDocument& operator=(const XMLDocument&) = default;

    bool IsNull() const { return !m_state; }
    explicit operator bool() const { return !IsNull(); }

    /// Makes a new empty document in place of any held; true.
    bool Create();
    /// Lets go of the document; the wrapper is null afterwards. Safe on null.
    void Close();

    /// Loads the file (UTF-8, UTF-16 with a byte-order mark, or the encoding its
    /// declaration names). On failure the document is left empty and the
    /// details are kept for ReportError. Text that does not convert from its
    /// encoding (or an encoding that cannot be read) fails the load with
    /// kXMLEncodingError: nothing is read with replacement characters.
    bool Load(const QString& path);
    /// Replaces the content by the parsed text; the same rule on failure.
    bool LoadXML(QStringView text);
    /// The whole document as XML text; empty for an empty document.
    QString GetXML() const;
    /// Writes the document whole or not at all, in the encoding its declaration
    /// names (UTF-8 when none). White space inside the root is kept as loaded.
    /// reason (may be null) gets the system's reason when the file cannot be written.
    bool Save(const QString& path, QString* reason = nullptr) const;

    /// The root element; null when there is none.
    XMLElement GetDocumentElement() const;
    /// A new detached element; null when tagName is not an XML name.
    XMLElement CreateElement(QStringView tagName);
    /// A new detached CDATA section holding text.
    XMLCDATASection CreateCDATASection(QStringView text);

    /// Shows (level < 0) and logs the failure message for context with the
    /// details of the last load; returns false. Safe on a null document.
    bool ReportError(QStringView context, int level) const;
    /// The message ReportError shows.
    QString ErrorMessage(QStringView context) const;
    /// The details of the last load (an empty record for a null document).
    XMLParseError GetParseError() const;

private:
    friend class XMLNode;
    explicit XMLDocument(std::shared_ptr<xmldetail::DocumentState> state) : m_state(std::move(state)) {}
    void Require() const;
    bool Parse(const QByteArray& utf8, const QString& url);

    std::shared_ptr<xmldetail::DocumentState> m_state;
};
