#include "core/XMLDocument.h"

#include "core/Logger.h"
#include "RecordingPresenter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

XMLDocument Parsed(const QString& text)
{
    XMLDocument doc;
    doc.Create();
    EXPECT_TRUE(doc.LoadXML(text)) << text.toStdString();
    return doc;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

// White space between elements, comments and CDATA line breaks survive a load
// and save byte for byte, and an edit touches only what it edits.
TEST(XMLDocumentTest, LoadEditSaveKeepsUnrelatedContentAndWhiteSpace)
{
    const QByteArray original = "<?xml version=\"1.0\"?>\n"
                                "<Proteus>\n"
                                "\t<!-- kept -->\n"
                                "  <Controls>\n"
                                "    <Control ID=\"5\"><![CDATA[line one\nline <two> & three]]></Control>\n"
                                "  </Controls>\n"
                                "  <Other a=\"x &amp; y\">  spaced  text  </Other>\n"
                                "</Proteus>\n";
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.xml"));
    const QString out = dir.filePath(QStringLiteral("out.xml"));
    ASSERT_TRUE(WriteAll(in, original));

    XMLDocument doc;
    ASSERT_TRUE(doc.Create());
    ASSERT_TRUE(doc.Load(in));
    ASSERT_TRUE(doc.Save(out));
    EXPECT_EQ(ReadAll(out), original);

    XMLElement control = doc.GetDocumentElement().SelectSingleNode(u"./Controls/Control[@ID='5']");
    ASSERT_FALSE(control.IsNull());
    EXPECT_EQ(control.GetText(), QStringLiteral("line one\nline <two> & three"));
    control.SetAttribute(u"ID", 6);
    ASSERT_TRUE(doc.Save(out));
    QByteArray expected = original;
    expected.replace("ID=\"5\"", "ID=\"6\"");
    EXPECT_EQ(ReadAll(out), expected);
}

TEST(XMLDocumentTest, AttributeReadsConvertLikeTheDom)
{
    XMLDocument doc = Parsed(QStringLiteral("<r/>"));
    XMLElement root = doc.GetDocumentElement();
    struct Row {
        const char* name;
        const char16_t* stored; // null: attribute missing
        const char16_t* text;
        int number;
    };
    const Row rows[] = {
        {"missing", nullptr, u"", 0},
        {"decimal", u"12", u"12", 12},
        {"blanks around", u" 12 ", u" 12 ", 12},
        {"negative", u"-5", u"-5", -5},
        {"not a number", u"abc", u"abc", 0},
        {"trailing junk", u"12abc", u"12abc", 0},
        {"hex is not converted", u"0x0C", u"0x0C", 0},
        {"fraction rounds half to even", u"2.5", u"2.5", 2},
        {"fraction rounds up", u"3.7", u"3.7", 4},
        {"overflow", u"99999999999", u"99999999999", 0},
        {"empty", u"", u"", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        XMLDocument d = Parsed(row.stored ? QStringLiteral("<r A=\"%1\"/>").arg(QString::fromUtf16(row.stored))
                                          : QStringLiteral("<r/>"));
        XMLElement e = d.GetDocumentElement();
        EXPECT_EQ(e.GetAttribute(u"A"), QString::fromUtf16(row.text));
        EXPECT_EQ(e.GetIntAttribute(u"A"), row.number);
    }

    // An integer written reads back as its decimal text.
    ASSERT_TRUE(root.SetAttribute(u"N", 12));
    EXPECT_EQ(root.GetAttribute(u"N"), QStringLiteral("12"));
    // A name that is no XML name is refused, and nothing is written.
    EXPECT_FALSE(root.SetAttribute(u"bad name", u"x"));
    EXPECT_EQ(doc.GetXML(), QStringLiteral("<r N=\"12\"/>\n"));
    // Attribute calls on a text node or a null wrapper answer empty.
    XMLDocument t = Parsed(QStringLiteral("<r>text</r>"));
    XMLElement text = t.GetDocumentElement().GetFirstChild();
    EXPECT_EQ(text.GetNodeType(), XMLNodeText);
    EXPECT_FALSE(text.SetAttribute(u"A", u"x"));
    EXPECT_EQ(text.GetAttribute(u"A"), QString());
    EXPECT_EQ(XMLElement().GetIntAttribute(u"A"), 0);
}

TEST(XMLDocumentTest, SelectionsReturnElementsOrNullAndNeverThrow)
{
    XMLDocument doc = Parsed(QStringLiteral("<r><!--c--><a ID='1'>x</a>text<a ID='2'/><b/></r>"));
    XMLElement root = doc.GetDocumentElement();

    std::vector<XMLNode> nodes;
    EXPECT_TRUE(root.SelectNodes(u"./a", nodes));
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(XMLElement(nodes[1]).GetAttribute(u"ID"), QStringLiteral("2"));

    // Only text and comment nodes match: true, nothing appended.
    nodes.clear();
    EXPECT_TRUE(root.SelectNodes(u"./text() | ./comment()", nodes));
    EXPECT_TRUE(nodes.empty());

    // Malformed expressions and ones that give no node set fail quietly.
    for (const char16_t* bad : {u"./a[@ID='1'", u"", u"count(./a)", u"./a[", u"]]"}) {
        SCOPED_TRACE(QString::fromUtf16(bad).toStdString());
        EXPECT_TRUE(root.SelectSingleNode(bad).IsNull());
        EXPECT_FALSE(root.SelectNodes(bad, nodes));
    }
    // An attribute is not a node the wrappers hand out.
    EXPECT_TRUE(root.SelectSingleNode(u"./a/@ID").IsNull());

    std::vector<XMLNode> children;
    EXPECT_TRUE(root.GetChildNodes(children));
    EXPECT_EQ(children.size(), 3u);
    EXPECT_EQ(root.GetFirstChild().GetNodeType(), XMLNodeComment);
    EXPECT_EQ(root.GetFirstChild().GetNextSibling().GetNodeName(), QStringLiteral("a"));
}

// Values formatted into quoted literals are bound, not pasted: quotes,
// brackets and "or" clauses in a value match only themselves.
TEST(XMLDocumentTest, FormattedSelectionsCannotBeWidenedByTheirValues)
{
    XMLDocument doc = Parsed(QStringLiteral(
        "<r><DEVICE ID='Settings'/><DEVICE ID=\"it's\"/><DEVICE ID='say &quot;hi&quot;'/><DEVICE ID='12'/></r>"));
    XMLElement root = doc.GetDocumentElement();
    struct Row {
        const char* name;
        QString value;
        bool found;
    };
    const Row rows[] = {
        {"plain", QStringLiteral("Settings"), true},
        {"single quote", QStringLiteral("it's"), true},
        {"double quotes", QStringLiteral("say \"hi\""), true},
        {"or clause", QStringLiteral("x' or '1'='1"), false},
        {"closing bracket", QStringLiteral("x'] | //*[@ID='Settings"), false},
        {"case differs", QStringLiteral("settings"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        XMLElement hit = root.SelectSingleNode(u"./DEVICE[@ID='%s']", {row.value});
        EXPECT_EQ(!hit.IsNull(), row.found);
        if (row.found) {
            EXPECT_EQ(hit.GetAttribute(u"ID"), row.value);
        }
        std::vector<XMLNode> all;
        EXPECT_TRUE(root.SelectNodes(u"./DEVICE[@ID='%s']", {row.value}, all));
        EXPECT_EQ(all.size(), row.found ? 1u : 0u);
    }
    // Numbers format in decimal and compare as text, as the plain query would.
    EXPECT_FALSE(root.SelectSingleNode(u"./DEVICE[@ID='%d']", {12}).IsNull());
    EXPECT_TRUE(root.SelectSingleNode(u"./DEVICE[@ID='%d']", {0x0C + 1}).IsNull());
}

TEST(XMLDocumentTest, MalformedTextIsReportedWithPositionAndLeavesNoRoot)
{
    auto presenter = RecordingPresenter::Install();
    TheTmpLogStore().TakeWaiting();
    XMLDocument doc = Parsed(QStringLiteral("<r/>"));
    EXPECT_FALSE(doc.LoadXML(QStringLiteral("<r>\n  <a>\n  </b>\n</r>")));
    EXPECT_TRUE(doc.GetDocumentElement().IsNull());
    const XMLParseError e = doc.GetParseError();
    EXPECT_NE(e.errorCode, 0);
    EXPECT_EQ(e.line, 3);
    EXPECT_EQ(e.sourceText, QStringLiteral("  </b>"));
    EXPECT_GE(e.linePosition, 1);
    EXPECT_LE(e.linePosition, 7);
    EXPECT_EQ(e.filePosition, 10 + e.linePosition - 1); // "<r>\n  <a>\n" comes before line 3

    EXPECT_FALSE(doc.ReportError(u"Failed to load TEST document", -2));
    ASSERT_EQ(presenter->texts.size(), 1u);
    const QString shown = presenter->texts[0];
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Failed to load TEST document. Parse Error. XML reports:\nError Code: ")))
        << shown.toStdString();
    for (const char* part : {"\nFile Position: ", "\nLine: 3\nLine Position: ", "\nReason: ", "\nSource Text:   </b>\n",
                             "\nURL: \n"})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(part))) << part;
    bool logged = false;
    for (const QString& line : TheTmpLogStore().TakeWaiting())
        logged = logged || (line.contains(QStringLiteral("WARNING: ")) && line.contains(shown.left(40)));
    EXPECT_TRUE(logged);

    // A level of 0 builds the message and shows nothing.
    EXPECT_FALSE(doc.ReportError(u"quiet", 0));
    EXPECT_EQ(presenter->texts.size(), 1u);
    // A document never created; a good load clears the details.
    EXPECT_EQ(XMLDocument().ErrorMessage(u"Failed to load X document"),
              QStringLiteral("Failed to load X document. MSXML may not be installed"));
    EXPECT_TRUE(doc.LoadXML(QStringLiteral("<r/>")));
    EXPECT_EQ(doc.ErrorMessage(u"Context"), QStringLiteral("Context"));
    SetMessagePresenter(nullptr);
}

TEST(XMLDocumentTest, NullWrappersThrowOurErrorExceptForTheSafeCalls)
{
    XMLNode null;
    try {
        null.GetFirstChild();
        FAIL() << "no exception";
    } catch (const XMLError& e) {
        EXPECT_EQ(e.Code(), XMLError::Pointer);
    }
    EXPECT_THROW(null.SelectSingleNode(u"."), XMLError);
    EXPECT_THROW(null.GetText(), XMLError);
    EXPECT_THROW(XMLDocument().GetDocumentElement(), XMLError);
    EXPECT_THROW(XMLDocument().LoadXML(u"<r/>"), XMLError);
    EXPECT_NO_THROW(XMLDocument().Close());
    EXPECT_TRUE(null.GetOwnerDocument().IsNull());

    // Appending a null child is a failed call, not misuse.
    XMLDocument doc = Parsed(QStringLiteral("<r/>"));
    EXPECT_FALSE(doc.GetDocumentElement().AppendChild(XMLNode()));
}

// New and removed nodes belong to no tree until appended, and a wrapper stays
// usable across every move, a reload and the document's close.
TEST(XMLDocumentTest, DetachedNodesKeepTheirIdentity)
{
    XMLDocument doc = Parsed(QStringLiteral("<?xml version='1.0' ?><Proteus></Proteus>"));
    XMLElement root = doc.GetDocumentElement();
    XMLElement controls = doc.CreateElement(u"Controls");
    ASSERT_FALSE(controls.IsNull());
    EXPECT_TRUE(doc.CreateElement(u"1bad").IsNull());
    EXPECT_EQ(doc.GetXML(), QStringLiteral("<?xml version=\"1.0\"?>\n<Proteus/>\n"));
    EXPECT_TRUE(controls.GetNextSibling().IsNull());
    EXPECT_TRUE(root.SelectSingleNode(u"//Controls").IsNull());

    ASSERT_TRUE(root.AppendChild(controls));
    XMLElement control = doc.CreateElement(u"Control");
    control.SetAttribute(u"ID", 7);
    ASSERT_TRUE(controls.AppendChild(control));
    XMLCDATASection cdata = doc.CreateCDATASection(u"a\nb");
    ASSERT_TRUE(control.AppendChild(cdata));
    EXPECT_EQ(doc.GetXML(), QStringLiteral("<?xml version=\"1.0\"?>\n"
                                           "<Proteus><Controls><Control ID=\"7\"><![CDATA[a\nb]]></Control></Controls></Proteus>\n"));
    EXPECT_TRUE(root.SelectSingleNode(u"./Controls/Control[@ID='7']").IsSameNode(control));
    EXPECT_TRUE(control.GetOwnerDocument().GetDocumentElement().IsSameNode(root));

    // Removed, then put back elsewhere: the same node, children and all.
    ASSERT_TRUE(controls.RemoveChild(control));
    EXPECT_FALSE(controls.RemoveChild(control));
    EXPECT_TRUE(root.SelectSingleNode(u".//Control").IsNull());
    EXPECT_EQ(control.GetText(), QStringLiteral("a\nb"));
    ASSERT_TRUE(root.AppendChild(control));
    EXPECT_EQ(root.SelectSingleNode(u"./Control").GetText(), QStringLiteral("a\nb"));
    // A node cannot go inside itself.
    EXPECT_FALSE(control.AppendChild(root));
    cdata.RemoveFromParent();
    EXPECT_EQ(control.GetText(), QString());

    // SetText replaces the children; old child wrappers stay valid.
    XMLElement kept = controls;
    root.SetText(u"plain");
    EXPECT_EQ(root.GetText(), QStringLiteral("plain"));
    EXPECT_EQ(kept.GetNodeName(), QStringLiteral("Controls"));

    // Nodes outlive a reload and the document itself.
    doc.LoadXML(QStringLiteral("<Other/>"));
    EXPECT_EQ(root.GetText(), QStringLiteral("plain"));
    XMLDocument other = Parsed(QStringLiteral("<x/>"));
    EXPECT_FALSE(other.GetDocumentElement().AppendChild(kept));
    doc.Close();
    EXPECT_EQ(kept.GetNodeName(), QStringLiteral("Controls"));
}

TEST(XMLDocumentTest, TextIsEveryDescendantsText)
{
    XMLDocument doc = Parsed(QStringLiteral("<r>a<b>b<![CDATA[c]]><!--no--></b> <c>d</c></r>"));
    XMLElement root = doc.GetDocumentElement();
    EXPECT_EQ(root.GetText(), QStringLiteral("abc d"));
    XMLNode b = root.SelectSingleNode(u"./b");
    b.SetText(u"new");
    EXPECT_EQ(root.GetText(), QStringLiteral("anew d"));
    EXPECT_EQ(doc.GetXML(), QStringLiteral("<r>a<b>new</b> <c>d</c></r>\n"));
}

TEST(XMLDocumentTest, FilesInOtherEncodingsAndFileFailures)
{
    QTemporaryDir dir;
    const QString utf16 = dir.filePath(QStringLiteral("utf16.xml"));
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<r>Grüße ♪</r>\n");
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    ASSERT_TRUE(WriteAll(utf16, bytes));

    XMLDocument doc;
    doc.Create();
    ASSERT_TRUE(doc.Load(utf16));
    EXPECT_EQ(doc.GetDocumentElement().GetText(), QStringLiteral("Grüße ♪"));
    const QString copy = dir.filePath(QStringLiteral("copy.xml"));
    ASSERT_TRUE(doc.Save(copy));
    EXPECT_EQ(ReadAll(copy), bytes); // written back in its declared encoding

    const QString latin1 = dir.filePath(QStringLiteral("latin1.xml"));
    ASSERT_TRUE(WriteAll(latin1, QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>Gr\xFC\xDF""e</r>")));
    ASSERT_TRUE(doc.Load(latin1));
    EXPECT_EQ(doc.GetDocumentElement().GetText(), QStringLiteral("Grüße"));

    // A missing file fails with details; nothing is written to a missing folder.
    EXPECT_FALSE(doc.Load(dir.filePath(QStringLiteral("none.xml"))));
    EXPECT_NE(doc.GetParseError().errorCode, 0);
    EXPECT_EQ(doc.GetParseError().url, dir.filePath(QStringLiteral("none.xml")));
    doc.LoadXML(QStringLiteral("<r/>"));
    EXPECT_FALSE(doc.Save(dir.filePath(QStringLiteral("no/such/folder/x.xml"))));
}

// A document whose bytes do not convert from its encoding is refused with the
// reason; it is never read with replacement characters (a save would then
// write them over the originals).
TEST(XMLDocumentTest, TextThatDoesNotConvertFromItsEncodingIsRefused)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* reason; // in the failure's reason
        int line;           // -1: not known
    } rows[] = {
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-no-such-set\"?>\n<r>Gr\xFC\xDF""e</r>\n",
         "\"x-no-such-set\"", -1},
        {"declared UTF-8, Latin-1 bytes", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>\n<n>Gr\xFC\xDF""e</n></r>\n",
         "UTF-8", 3},
        {"undeclared, Latin-1 bytes", "<r a=\"caf\xE9\"/>", "UTF-8", 1},
        {"byte-order mark, then a bad byte", "\xEF\xBB\xBF<r>\xC0\xAF</r>", "UTF-8", 1},
        {"UTF-8 encoded surrogate", "<r>\xED\xA0\x80</r>", "UTF-8", 1},
        {"encoding name with stray bytes", "<?xml version=\"1.0\" encoding=\"U\x9C\x9CTF-8\"?>\n<r>Gr\xFC\xDF""e</r>\n",
         "cannot be read", -1},
        {"UTF-16 with half a pair", QByteArray("\xFF\xFE<\0r\0>\0\x3D\xD8<\0/\0r\0>\0", 18), "UTF-16", -1},
    };
    auto presenter = RecordingPresenter::Install();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QStringLiteral("doc.xml"));
        ASSERT_TRUE(WriteAll(path, row.bytes));
        XMLDocument doc = Parsed(QStringLiteral("<old/>"));
        EXPECT_FALSE(doc.Load(path));
        const XMLParseError e = doc.GetParseError();
        EXPECT_EQ(e.errorCode, kXMLEncodingError);
        EXPECT_TRUE(e.reason.contains(QString::fromUtf8(row.reason))) << e.reason.toStdString();
        EXPECT_EQ(e.line, row.line);
        EXPECT_EQ(e.url, path);
        EXPECT_TRUE(doc.GetDocumentElement().IsNull());
        presenter->texts.clear();
        EXPECT_FALSE(doc.ReportError(u"Failed to load the document", -2));
        ASSERT_EQ(presenter->texts.size(), 1u);
        EXPECT_TRUE(presenter->texts[0].contains(e.reason));
        EXPECT_EQ(ReadAll(path), row.bytes) << "the file is left as it was";
    }
    SetMessagePresenter(nullptr);
}
