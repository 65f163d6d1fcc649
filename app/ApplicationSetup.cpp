#include "ApplicationSetup.h"

#include "DialogStyle.h"
#include "WindowServices.h"
#include "mdlKorvantiser.h"

#include <QLibraryInfo>
#include <QLocale>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tobrik::app {

bool DisplayAvailable([[maybe_unused]] const char* program) {
#if defined(Q_OS_LINUX)
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool ownPlatform = platform && *platform && std::string_view(platform) != "xcb" &&
                             std::string_view(platform) != "wayland";
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!ownPlatform && !display) {
        std::fprintf(stderr,
                     "tobrik: no display found (DISPLAY is not set); "
                     "to run without a screen use: xvfb-run -a %s\n",
                     program);
        return false;
    }
#endif
    return true;
}

const char* ChoosePlatform(const char* qpaPlatform, const char* waylandDisplay,
                           const char* display) {
    auto set = [](const char* value) { return value && *value; };
    if (set(qpaPlatform))
        return nullptr;
    if (set(display))
        return "xcb";
    if (set(waylandDisplay))
        return "wayland";
    return nullptr;
}

QtArguments::QtArguments(int argc, char** argv) : values_(argv, argv + argc) {
#if defined(Q_OS_LINUX)
    if (const char* platform =
            ChoosePlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                           std::getenv("DISPLAY"))) {
        platform_ = platform;
        values_.insert(values_.begin() + (argc > 0 ? 1 : 0), {option_.data(), platform_.data()});
    }
#endif
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
