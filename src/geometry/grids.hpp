// Grid lines: magnetic longitudes gr_l (degrees), field lines gr_p (Earth
// radii, stretched in altitude) and positions along the lines gr_q.
#pragma once

namespace vorn {

// Builds the l, p and q grid lines in this order.
void create_grid();

}  // namespace vorn
