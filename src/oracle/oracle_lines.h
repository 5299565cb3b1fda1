#pragma once

// The numbered lines of the handlers this layer runs, as their error boxes
// name them.

// Form1's PushButton5_Click: the connection test.
namespace TestConnectionLine {
enum : int { CreateConnection = 100 };
}

// Form2's List1_Click and List3_Click: the selected table's fields.
namespace ListFieldsLine {
enum : int { ListFields = 100 };
}
