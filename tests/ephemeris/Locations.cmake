kelvaro_test(test_locations
  SOURCES test_location_block.cpp test_position_finder.cpp test_gazetteer.cpp
  DEPS kelvaro_locations kelvaro_shadow_core)
if(TARGET kelvaro-cli)
  kelvaro_test(test_places_cli SOURCES test_places_cli.cpp)
  add_dependencies(test_places_cli kelvaro-cli)
endif()
kelvaro_test(test_longlat QT SOURCES test_longlat.cpp DEPS kelvaro_longlat Qt6::Test)
if(TARGET kelvaro_shadow_ui)
  kelvaro_test(test_finder_to_settings QT SOURCES test_finder_to_settings.cpp DEPS kelvaro_longlat kelvaro_shadow_ui)
endif()
