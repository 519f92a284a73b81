#pragma once

// What the map store's list of packages says of a map's Wikipedia package,
// as far as the Wikipedia manager knows it.
enum class CBWikipediaPackageList {
    Loading,     // asked for, no answer yet
    Offered,     // the store has a package for the map
    NotOffered,  // the store has none (or the map is not in the catalogue)
    Failed,      // the list could not be had: no connection, a late or garbled answer
    NoStore,     // no map store is set
};
