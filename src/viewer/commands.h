// The button procedures that drive the viewer, and the info button.
#pragma once

void WLX_btn_01();
void WLX_btn_02();
void WLX_btn_03();
void WLX_btn_04();
void WLX_btn_05();
void WLX_btn_8();
void WLX_btn_09();
