// The clean on platforms outside the NT family, where the adapter's ports
// were recorded under a map key and the USB enumeration keys of this and
// two earlier products of the vendor, with software keys under the class
// key.
#pragma once

// How many of the first three steps failed (0 to 3).
int LegacyClean();
