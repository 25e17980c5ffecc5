// Converts the dialog-unit rectangles of Qt Designer forms into the pixel
// geometry the forms are built with, using the program's dialog font.
//
// Each widget of a form that comes from a dialog layout carries the layout's
// rectangle in dialog units as the dynamic property "dialogRect"; this tool
// writes the matching "geometry" (x and width by the font's average character
// width / 4, y and height by its height / 8). The top widget's dialogRect
// gives the dialog's client size. Run it after adding or moving an item:
//
//   tabrine_form_units src/ui/framework/forms/*.ui        rewrite in place
//   tabrine_form_units --check src/ui/framework/forms/*.ui  only report; exit 1 when a form is stale
//   tabrine_form_units --units                            print the base units
#include "core/resources/GuiFont.h"

#include <QGuiApplication>
#include <QRect>

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

pugi::xml_node PropertyOf(pugi::xml_node widget, const char* name)
{
    for (pugi::xml_node p : widget.children("property"))
        if (std::strcmp(p.attribute("name").value(), name) == 0)
            return p;
    return {};
}

bool ReadRect(pugi::xml_node property, QRect* out)
{
    const pugi::xml_node rect = property.child("rect");
    if (!rect)
        return false;
    for (const char* field : {"x", "y", "width", "height"})
        if (!rect.child(field))
            return false;
    *out = QRect(rect.child("x").text().as_int(), rect.child("y").text().as_int(),
                 rect.child("width").text().as_int(), rect.child("height").text().as_int());
    return true;
}

void WriteRect(pugi::xml_node property, const QRect& r)
{
    pugi::xml_node rect = property.child("rect");
    if (!rect)
        rect = property.append_child("rect");
    const std::pair<const char*, int> fields[] = {{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
    for (const auto& [name, value] : fields) {
        pugi::xml_node n = rect.child(name);
        if (!n)
            n = rect.append_child(name);
        n.text().set(value);
    }
}

// Converts every widget below node; counts widgets whose geometry changed.
// Widgets whose place in dialog units is missing or unreadable are listed in
// faults and counted in faultCount: they cannot be converted.
int Convert(pugi::xml_node node, const DialogBaseUnits& base, bool isTop, std::string* problems, std::string* faults,
            int* faultCount)
{
    int changed = 0;
    for (pugi::xml_node child : node.children()) {
        if (std::strcmp(child.name(), "widget") == 0) {
            QRect units;
            const pugi::xml_node source = PropertyOf(child, "dialogRect");
            if (source && ReadRect(source, &units)) {
                QRect pixels = DialogUnitsToPixels(units, base);
                if (isTop)
                    pixels.moveTo(0, 0); // the top widget's rectangle is its client area
                pugi::xml_node geometry = PropertyOf(child, "geometry");
                QRect current;
                if (!geometry || !ReadRect(geometry, &current) || current != pixels) {
                    ++changed;
                    *problems += std::string("  ") + child.attribute("name").value() + "\n";
                    if (!geometry) {
                        geometry = child.insert_child_before("property", source);
                        geometry.append_attribute("name") = "geometry";
                    }
                    WriteRect(geometry, pixels);
                }
            } else if (source) {
                *faults += std::string("  ") + child.attribute("name").value() + ": dialogRect is not a rect\n";
                ++*faultCount;
            } else if (PropertyOf(child, "geometry")) {
                // Placed in pixels only: its place would not follow the font.
                *faults += std::string("  ") + child.attribute("name").value() + ": no dialogRect\n";
                ++*faultCount;
            }
            changed += Convert(child, base, false, problems, faults, faultCount);
            isTop = false;
        } else {
            changed += Convert(child, base, isTop, problems, faults, faultCount);
        }
    }
    return changed;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    bool check = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (std::strcmp(argv[i], "--units") == 0) {
            const DialogBaseUnits base = GuiBaseUnits();
            std::printf("average character width %d, height %d\n", base.averageCharWidth, base.height);
            return 0;
        } else {
            files.emplace_back(argv[i]);
        }
    }
    bool fontOk = false;
    GuiFont(&fontOk);
    if (!fontOk) {
        std::fprintf(stderr, "The dialog font could not be loaded\n");
        return 2;
    }
    const DialogBaseUnits base = GuiBaseUnits();
    int result = 0;
    for (const std::string& file : files) {
        pugi::xml_document form;
        if (!form.load_file(file.c_str(), pugi::parse_default | pugi::parse_declaration | pugi::parse_comments)) {
            std::fprintf(stderr, "%s: not a readable form\n", file.c_str());
            result = 2;
            continue;
        }
        std::string problems;
        std::string faults;
        int faultCount = 0;
        const int changed = Convert(form.child("ui"), base, true, &problems, &faults, &faultCount);
        if (faultCount != 0) {
            std::fprintf(stderr, "%s: every placed widget needs its dialog units:\n%s", file.c_str(), faults.c_str());
            result = result ? result : 1;
        }
        if (changed == 0)
            continue;
        if (check) {
            std::fprintf(stderr, "%s: geometry does not match the dialog units of:\n%s", file.c_str(), problems.c_str());
            result = result ? result : 1;
        } else if (!form.save_file(file.c_str(), " ", pugi::format_indent | pugi::format_save_file_text, pugi::encoding_utf8)) {
            std::fprintf(stderr, "%s: could not be written\n", file.c_str());
            result = 2;
        } else {
            std::printf("%s: %d widget(s) converted\n", file.c_str(), changed);
        }
    }
    return result;
}
