# Writes sample firmware images for the demo and the screenshots; sourced by the scripts.
# An image is a sequence of records: FF 11 name 00, DD EE major minor, BB CC bus-address, and
# AA type length(4 bytes, low first) payload for each data record.

# The four bytes of a 32-bit number, low byte first, as printf escapes.
korvel_le32() {
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
    $((($1 >> 16) & 255)) $((($1 >> 24) & 255))
}

# korvel_sample_image FILE DATA_FILE NAME (ASCII) MAJOR MINOR BUS_ADDRESS|- RECORDS RECORD_SIZE
# Writes the image to FILE and the bytes its data records carry, in order, to DATA_FILE (what
# the device should hold afterwards). Bus address "-" makes an image for the device itself.
korvel_sample_image() {
  local file=$1 data=$2 name=$3 major=$4 minor=$5 address=$6 records=$7 size=$8
  local type=12 i payload
  : >"$data"
  {
    printf '\xff\x11%s\x00' "$name"
    printf "\\xdd\\xee\\x$(printf %02x "$major")\\x$(printf %02x "$minor")"
    if [[ $address != - ]]; then
      printf "\\xbb\\xcc\\x$(printf %02x "$address")"
      type=3
    fi
    for ((i = 0; i < records; ++i)); do
      printf "\\xaa\\x$(printf %02x "$type")$(korvel_le32 "$size")"
      # Every record differs, so that a record sent twice or out of order shows in the dump.
      payload=
      while ((${#payload} < size)); do payload+="$name record $i "; done
      payload=${payload:0:size}
      printf '%s' "$payload"
      printf '%s' "$payload" >>"$data"
    done
  } >"$file"
}
