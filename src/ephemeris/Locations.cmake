# kelvaro_locations: the position finder's location blocks (GeoNames gazetteer, built in) and
# its logic (plain C++). The compressed blocks become a byte array at build time.
find_package(ZLIB REQUIRED)
set(locations_data ${CMAKE_CURRENT_SOURCE_DIR}/data/locations.z)
set(locations_cpp ${CMAKE_CURRENT_BINARY_DIR}/locations_data.cpp)
add_custom_command(OUTPUT ${locations_cpp}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${locations_data} -DOUTPUT=${locations_cpp}
          -DSYMBOL=kLocationsCompressed -P ${CMAKE_CURRENT_SOURCE_DIR}/data/embed.cmake
  DEPENDS ${locations_data} ${CMAKE_CURRENT_SOURCE_DIR}/data/embed.cmake
  COMMENT "Embedding the location blocks")
kelvaro_library(kelvaro_locations
  SOURCES LocationBlock.cpp LocationData.cpp PositionFinder.cpp ${locations_cpp}
  DEPS kelvaro_ephemeris kelvaro_notify ZLIB::ZLIB)

# kelvaro_longlat: the "Position Finder" window over kelvaro_locations.
kelvaro_library(kelvaro_longlat QT
  SOURCES LongLat.cpp LongLat.h
  DEPS kelvaro_locations kelvaro_platform Qt6::Widgets)
