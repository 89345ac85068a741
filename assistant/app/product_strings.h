// Names and captions the Assistant shows.
#pragma once

namespace assistant {

inline constexpr const char* kModelId = "QTR84PX1";
inline constexpr const char* kDisplayName = "Tessary QTR84PX-1 Serial Adapter";
inline constexpr const char* kDisplayNameUpper = "TESSARY QTR84PX-1 SERIAL ADAPTER";
inline constexpr const char* kModelName = "QTR-84PX-1";
// The friendly name of an adapter port; a description matches on these 37 characters.
inline constexpr const char* kAdapterPortDescription = "Tessary QTR84PX-1 Serial Adapter Port";
inline constexpr const char* kMainTitleFormat = "%s Assistant";
inline constexpr const char* kUpdateCaption = "Tessary Serial Adapter -- Update Driver Configuration";

}  // namespace assistant
