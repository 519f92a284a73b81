#include "wikipedia/CBWikipediaGuideScreens.h"

CBWikipediaGuideScreens::MakeWalkScreen& CBWikipediaGuideScreens::makeWalkScreen() {
    static MakeWalkScreen make;
    return make;
}

CBWikipediaGuideScreens::MakeHeaderTrack& CBWikipediaGuideScreens::makeHeaderTrack() {
    static MakeHeaderTrack make;
    return make;
}

CBWikipediaGuideScreens::MakeAllArticlesScreen& CBWikipediaGuideScreens::makeAllArticlesScreen() {
    static MakeAllArticlesScreen make;
    return make;
}
