# Writes OUTPUT from the page TEMPLATE, replacing each line
#   <!-- inline PATH -->
# by the file PATH (relative to the template's folder): a .css file inside
# <style>, a .js file inside <script>, any other file (a licence) inside an
# HTML comment. The page then needs nothing but the service that serves it.
#   cmake -DTEMPLATE=web/api.html -DOUTPUT=bin/api.html -P web/Inline.cmake
cmake_minimum_required(VERSION 3.25)

get_filename_component(folder "${TEMPLATE}" DIRECTORY)
file(READ "${TEMPLATE}" page)
string(REGEX MATCHALL "<!-- inline [^ ]+ -->" markers "${page}")

foreach(marker IN LISTS markers)
  string(REGEX REPLACE "<!-- inline ([^ ]+) -->" "\\1" name "${marker}")
  file(READ "${folder}/${name}" text)
  if(name MATCHES "\\.css$")
    set(open "<style>\n")
    set(close "</style>")
  elseif(name MATCHES "\\.js$")
    set(open "<script>\n")
    set(close "</script>")
  else()
    set(open "<!--\n")
    set(close "-->")
  endif()
  # The closing text inside the file would end the element early.
  string(TOLOWER "${text}" lower)
  string(TOLOWER "${close}" lowerClose)
  string(REPLACE ">" "" lowerClose "${lowerClose}")
  string(FIND "${lower}" "${lowerClose}" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "${name} holds \"${close}\" and cannot be carried inside the page")
  endif()
  string(REPLACE "${marker}" "${open}${text}${close}" page "${page}")
endforeach()

file(WRITE "${OUTPUT}.tmp" "${page}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
