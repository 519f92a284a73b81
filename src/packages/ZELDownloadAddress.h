#pragma once

#include <optional>
#include <string>

// Where a queued download is loaded from. A download from the map store keeps
// its address relative to the store ("map/LI/liechtenstein.zip"), so it is
// loaded from the store of this start, whatever address the store had when
// the download was queued. Another address is loaded only from the store's
// host, over http or https.
class ZELDownloadAddress {
  public:
    // What the queue keeps for `url`: the part after the store's address when
    // the URL lies under it, else the URL as it stands.
    static std::string addressToKeep(const std::string& url,
                                     const std::optional<std::string>& storeURL);

    // An absolute URL on the store's host, whatever its port, whose path lies
    // under the store's: its address relative to the store. A download kept
    // with the full address of an earlier start goes on from this store.
    // nullopt for any other address.
    static std::optional<std::string> storeAddressOfURL(const std::string& url,
                                                        const std::string& storeURL);

    // The URL to load, or why the address is refused.
    struct Resolution {
        std::optional<std::string> url;
        std::string refusal;
    };
    static Resolution urlToLoad(const std::string& address,
                                const std::optional<std::string>& storeURL);
};
