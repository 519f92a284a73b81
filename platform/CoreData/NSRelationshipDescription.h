#pragma once

#include <string>

class NSEntityDescription;

enum class NSDeleteRule { NoAction, Nullify, Cascade, Deny };

// One relationship of an entity. A to-one relationship owns the column
// Z<NAME> holding the destination's Z_PK. A to-many relationship whose
// inverse is to-one is read through that inverse's column; a to-many whose
// inverse is also to-many lives in a join table Z_<n><NAME>.
struct NSRelationshipDescription {
    std::string name;
    std::string destinationEntityName;
    std::string inverseName;
    bool toMany = false;
    bool optional = true;
    NSDeleteRule deleteRule = NSDeleteRule::Nullify;

    NSEntityDescription* entity = nullptr;  // the owner
    NSEntityDescription* destinationEntity = nullptr;
    NSRelationshipDescription* inverseRelationship = nullptr;
    std::string columnName;      // to-one only
    size_t slot = 0;             // index into a managed object's relationship slots
    int columnIndex = -1;        // to-one: position in the root entity's tableColumns()
    bool ownsJoinTable = false;  // many-to-many: this side writes the join rows

    // Many-to-many: the join table and its two columns. sourceColumn holds
    // this side's primary key, destinationColumn the destination's.
    std::string joinTable;
    std::string joinSourceColumn;
    std::string joinDestinationColumn;

    bool isManyToMany() const {
        return toMany && inverseRelationship && inverseRelationship->toMany;
    }
};
