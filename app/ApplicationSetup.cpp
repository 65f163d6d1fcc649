// Choosing the display platform, and the application-wide set-up: name,
// version, style, font and Qt's translations.

#include "ApplicationSetup.h"

#include "AppPlatform.h"
#include "DialogStyle.h"
#include "JapaneseQtTexts.h"
#include "TextArguments.h"
#include "UserTexts.h"
#include "WindowServices.h"
#include "mdlKorvantiser.h"

#include <QLibraryInfo>
#include <QLocale>
#include <cstdio>
#include <string>
#include <string_view>

namespace tobrik::app {

namespace {

// Whether Qt's platform NAME (options after ":" left out) finds what it
// needs: xcb an X display, wayland and its variants (wayland-egl) a Wayland
// display. Every other platform (offscreen, minimal, linuxfb, vnc, ...)
// needs neither.
bool platformUsable(std::string_view entry, bool x11, bool wayland) {
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (name.empty())
        return false;
    if (name == "xcb")
        return x11;
    if (name.rfind("wayland", 0) == 0)
        return wayland;
    return true;
}

} // namespace

PlatformChoice ChoosePlatform(const char* qpaPlatform, const char* waylandDisplay,
                              const char* display) {
    auto set = [](const char* value) { return value && *value; };
    const bool x11 = set(display);
    const bool wayland = set(waylandDisplay);
    if (set(qpaPlatform)) {
        // The user's own list, which Qt tries in order: one usable entry
        // is enough.
        for (std::string_view rest(qpaPlatform);;) {
            const std::size_t end = rest.find(';');
            if (platformUsable(rest.substr(0, end), x11, wayland))
                return {true, nullptr};
            if (end == std::string_view::npos)
                return {false, nullptr};
            rest.remove_prefix(end + 1);
        }
    }
    if (x11)
        return {true, wayland ? "xcb;wayland" : "xcb"};
    if (wayland)
        return {true, "wayland"};
    return {false, nullptr};
}

bool DisplayAvailable(const PlatformChoice& choice, const char* program) {
    if (choice.displayFound)
        return true;
    // A program started without arguments has no name of its own.
    const std::string text =
        tobrik::text::WithArguments(tobrik::text::kNoDisplay, {program ? program : "tobrik"});
    std::fputs(text.c_str(), stderr);
    return false;
}

QtArguments::QtArguments(int argc, char** argv, const char* platform) : values_(argv, argv + argc) {
    if (platform) {
        platform_ = platform;
        values_.insert(values_.begin() + (argc > 0 ? 1 : 0), {option_.data(), platform_.data()});
    }
    count_ = static_cast<int>(values_.size());
    // argv ends with a null pointer, and Qt may rely on it.
    values_.push_back(nullptr);
}

void SetUpApplication(QApplication& application) {
    QApplication::setApplicationName("Tobrik");
    QApplication::setApplicationVersion(TOBRIK_VERSION_TEXT); // from the CMake project
    QApplication::setOrganizationName("dorIzezovedivu");
    QApplication::setStyle(new DialogStyle);
    QApplication::setFont(DialogFont());
    if (auto translator = LoadQtTranslation(QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        translator->setParent(&application);
        QApplication::installTranslator(translator.release());
    }
}

std::unique_ptr<QTranslator> LoadQtTranslation(const QString& folder) {
    for (const char* catalog : {"qt", "qtbase"}) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QLocale(), catalog, "_", folder))
            return translator;
    }
    if (QLocale().language() == QLocale::Japanese)
        return std::make_unique<JapaneseQtTexts>();
    return nullptr;
}

void RouteNetworkMessages(WindowServices& services) {
    mdlKorvantiser::SetMessageBoxFunction(
        [&services](const std::string& text, int style, const std::string& title) {
            return services.messageBox(QString::fromStdString(text), style,
                                       QString::fromStdString(title));
        });
}

} // namespace tobrik::app
