/* The delayed libraries' address and name tables (cmake/DelayImports.cmake):
   kept whole, though only the address table is referenced by the code, and
   in name order, so that both tables stay parallel. */
SECTIONS
{
  .dlydata BLOCK(__section_alignment__) :
  {
    KEEP(*(SORT(.dlydata$*)))
  }
}
INSERT AFTER .data;
