#pragma once

// Registers the catalogue's classes with the Core Data stand-in, once.
namespace CBMapStoreEntities {
void registerClasses();
}
