#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapkit/CBAnnotation.h"

class CBWikipediaManager;

// What the Wikipedia screens ask of the application above them: the one
// Wikipedia manager, the main map and the crash breadcrumbs. The
// application's delegate answers.
class CBWikipediaHost {
  public:
    virtual ~CBWikipediaHost() = default;
    // The application delegate when it is a host; nullptr otherwise (a
    // screen then works without what only the host gives).
    static std::shared_ptr<CBWikipediaHost> shared();

    virtual std::shared_ptr<CBWikipediaManager> wikipediaManager() const = 0;
    // Shows the annotations on the main map, closing the screens over it.
    virtual void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                            bool centered) = 0;
    // Records the screen on show for a crash report.
    virtual void crashInformationSetCurrentViewController(const std::string& className) = 0;
    // The geo store the main map shows and the style it draws with, for the
    // screens' own maps; nullopt while no map is open.
    virtual std::optional<std::string> currentMapStorePath() const { return std::nullopt; }
    virtual std::optional<std::string> currentStylePlistPath() const { return std::nullopt; }
};
