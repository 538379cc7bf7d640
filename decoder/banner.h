// What msgdump prints on standard output before the script, as the original
// tools print it: the banner (with the version of that interface, which
// stays 1.0), the credit line, the table's name, an empty line.  The page
// writes the same lines into its download of the script.
#ifndef ZOL_DECODER_BANNER_H
#define ZOL_DECODER_BANNER_H

namespace decoder {

inline constexpr char kInterfaceVersion[] = "1.0";
inline constexpr char kBannerFormat[] =
    "-- SFC Zolvane Message Converter V%s --\n";
inline constexpr char kCredit[] =
    "Written by the Zolvane fan translation tools' authors\n";
inline constexpr char kLoadingFormat[] = "Loading Table File: %s\n";

}  // namespace decoder

#endif  // ZOL_DECODER_BANNER_H
