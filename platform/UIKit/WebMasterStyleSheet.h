#pragma once

// The default styles of HTML elements, under every page's own styles.
extern const char* const kWebMasterStyleSheet;
