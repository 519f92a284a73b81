#pragma once

// Registers the geo entity classes (object, element, node, ...) with the Core
// Data class registry, and the properties they derive in code ("isHighway",
// "isTransportRelated", ...) so predicates can use them. Safe to call often;
// must run before the first fetch from a geo store.
class CBGeoEntityRegistry {
  public:
    static void registerClasses();
};
