# The headers keep the house's plain // comments; Doxygen reads a comment
# that stands on its own lines above a declaration as that declaration's
# documentation, and one after a member on its line as that member's.
s#^([[:space:]]*)//( |$)#\1///\2#
s#^([^/"]*[;,])([[:space:]]+)// #\1\2///< #
