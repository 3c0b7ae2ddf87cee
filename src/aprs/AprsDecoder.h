#pragma once

#include "aprs/AprsPacket.h"

#include <string_view>

namespace aprs {

// Decodes one packet in TNC2 monitor form, "SRC>DEST,PATH:information", as a
// TNC or APRS-IS gives it; a trailing CR/LF is ignored. Never throws and does
// no I/O. A third-party packet ("}...") is decoded as the packet it carries.
//
// A rejected packet has Packet::error set to one of these codes (and kind,
// header and information filled as far as they could be read):
//
//   packet_short      empty line, or a position report under 14 bytes
//   packet_nobody     no ':' after the header, or nothing after it
//   packet_invalid    a position report whose position starts with no known byte
//   srccall_badchars  source missing, longer than 9, or not letters, digits and '-'
//   dstcall_none      no destination
//   dstcall_noax25    destination is not an AX.25 call (A-Z 0-9, 1-6 long, SSID 0-15)
//   digicall_badchars a path element is empty, too long or has other characters
//   unknown           no decodable format (data type not supported, and no
//                     position after a '!' in the first 40 bytes)
//   exp_unsupp        experimental "{{" format
//   loc_short         position shorter than its format needs
//   loc_inv           uncompressed position malformed, or minutes of 60 or more
//   loc_large         latitude above 89 or longitude above 179 degrees
//   loc_amb_inv       blanked digits that do not form a valid ambiguity
//   sym_inv_table     symbol table byte is not '/', '\', A-Z or 0-9
//   comp_inv          compressed position malformed, short or off the globe
//   mice_short        Mic-E information under 9 bytes or destination not 6 long
//   mice_inv          Mic-E destination does not encode a latitude (a byte out
//                     of its set, degrees above 89 or minutes of 60 or more)
//   mice_inv_info     Mic-E longitude, speed, course or symbol bytes out of range
//   mice_amb_inv      Mic-E blanked latitude digits not at the end
//   mice_amb_large    Mic-E with more than 4 blanked digits
//   obj_short         object under 31 bytes
//   obj_inv           object name, live/killed flag or time stamp malformed
//   obj_dec_err       object position starts with no known byte
//   item_short        item under 18 bytes
//   item_inv          item name not 3-9 bytes followed by '!' or '_'
//   item_dec_err      item position starts with no known byte
//   nmea_unsupp       NMEA sentence other than RMC, GGA or GLL (or not GP/GN)
//   nmea_inv_cksum    NMEA checksum does not match
//   nmea_inv_cval     NMEA coordinate malformed
//   nmea_large_ns     NMEA latitude of 90 or more
//   nmea_large_ew     NMEA longitude of 180 or more
//   nmea_inv_sign     NMEA hemisphere not N/S for latitude, E/W for longitude
//   gprmc_fewfields   RMC with under 10 fields
//   gprmc_nofix       RMC status not 'A'
//   gprmc_inv_time    RMC time malformed
//   gprmc_inv_date    RMC date malformed or impossible
//   gpgga_fewfields   GGA with under 11 fields
//   gpgga_nofix       GGA fix quality 0 or missing
//   timestamp_inv_gpgga GGA time malformed
//   gpgll_fewfields   GLL with under 5 fields
//   gpgll_nofix       GLL status not 'A'
//   timestamp_inv_gpgll GLL time malformed
//   wx_unsupp         weather format not supported (e.g. "_" without MDHM time and wind)
//   wx_inv            weather report without a single reading
//   msg_inv           message addressee, separator or text malformed
//   tlm_inv           telemetry malformed
//   tlm_large         telemetry value beyond 32-bit range
Packet decode(std::string_view tnc2Line);

// The same into a packet the caller keeps: its text keeps its storage from
// one packet to the next, so a caller that decodes into the same packet (and
// does not keep copies of its strings) allocates nothing once the storage
// has grown to the traffic.
void decode(std::string_view tnc2Line, Packet &packet);

}  // namespace aprs
