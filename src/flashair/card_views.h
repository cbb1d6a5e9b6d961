// Builders of the card's views in the info panel: the file tree and the
// thumbnail grid.
#pragma once

// Rebuilds the card tree below its root.
void TFA_CreateTree();
// Rebuilds the thumbnail grid; returns its number of rows.
int TFA_CreateThumbs();
